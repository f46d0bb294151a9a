package com.kvn.vt;

/** Says what it was given, then ends as its first argument asks. */
public class Veltrana {
  public static void main(String[] args) {
    System.out.println("args " + args.length);
    if (args.length > 0 && args[0].equals("exit3")) System.exit(3);
    if (args.length > 0 && args[0].equals("throw")) throw new IllegalStateException("boom");
  }
}
