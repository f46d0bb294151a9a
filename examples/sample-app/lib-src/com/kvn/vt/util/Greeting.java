package com.kvn.vt.util;

/**
 * A class that lives in lib/util.jar, not in Veltrana.jar: the application can only load it when
 * the launcher has put the archives below the install folder's lib folder on the class path.
 */
public final class Greeting {
  private Greeting() {}

  public static String greeting() {
    return "Hello from lib/util.jar";
  }
}
