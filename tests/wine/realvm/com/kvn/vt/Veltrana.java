package com.kvn.vt;

/** Says what it was given, then ends as its first argument asks. */
public class Veltrana {
  public static void main(String[] args) throws Exception {
    System.out.println("args " + args.length);
    for (String arg : args) {
      StringBuilder units = new StringBuilder("arg");
      for (int i = 0; i < arg.length(); ++i) units.append(' ').append(Integer.toHexString(arg.charAt(i)));
      System.out.println(units);
    }
    System.out.println("cp " + System.getProperty("java.class.path"));
    System.out.println("max " + Runtime.getRuntime().maxMemory());
    if (args.length > 0 && args[0].equals("exit3")) System.exit(3);
    if (args.length > 0 && args[0].equals("throw")) throw new IllegalStateException("boom");
    if (args.length > 0 && args[0].equals("lib")) {
      System.out.println(Class.forName("deep.Deep").getMethod("hello").invoke(null));
    }
  }
}
