package com.kvn.vt;

import java.io.BufferedReader;
import java.io.IOException;
import java.io.InputStream;
import java.io.InputStreamReader;
import java.io.PrintStream;
import java.lang.management.ManagementFactory;
import java.net.URL;
import java.security.AllPermission;
import java.security.CodeSource;
import java.util.List;
import java.util.PropertyPermission;

/**
 * The sample application that the Veltrana launcher starts.
 *
 * <p>It shows what the launcher handed to the Java VM: the arguments, the class path and library
 * path, the VM options, the security manager and what the policy file grants. It prints one
 * {@code key=value} line each, in UTF-8, so that a person can read the report and a test can
 * parse it.
 *
 * <p>Two arguments change what it does after the report (they are reported like any other):
 *
 * <ul>
 *   <li>{@code --wait=SECONDS}: stay running that long before returning;
 *   <li>{@code --throw}: end {@code main} with an {@link IllegalStateException} whose message is
 *       {@link #THROW_MESSAGE}.
 * </ul>
 */
public final class Veltrana {
  /** The message of the exception that {@code --throw} asks for. */
  public static final String THROW_MESSAGE = "Veltrana sample application: --throw was given";

  private static final String UTIL_CLASS = "com.kvn.vt.util.Greeting";
  private static final String EXTRA_RESOURCE = "extra/note.txt";

  private Veltrana() {}

  public static void main(String[] args) throws Exception {
    // The console's own encoding may not reach every character of an
    // argument; UTF-8 does. Wrapping System.out needs no permission.
    PrintStream out = new PrintStream(System.out, true, "UTF-8");

    out.println("report=begin");
    reportArguments(out, args);
    reportProperties(out);
    reportVmOptions(out);
    reportSecurity(out);
    reportLibraryArchives(out);
    out.println("report=end");

    int waitSeconds = 0;
    boolean throwAtEnd = false;
    for (String arg : args) {
      if (arg.startsWith("--wait=")) {
        waitSeconds = Integer.parseInt(arg.substring("--wait=".length()));
      } else if (arg.equals("--throw")) {
        throwAtEnd = true;
      }
    }
    if (waitSeconds > 0) {
      out.println("status=waiting " + waitSeconds + "s");
      Thread.sleep(waitSeconds * 1000L);
    }
    if (throwAtEnd) {
      out.println("status=throwing");
      throw new IllegalStateException(THROW_MESSAGE);
    }
    out.println("status=done");
  }

  // Each argument twice: as quoted text, and as its UTF-16 code units, so
  // that blanks, empty arguments and every non-ASCII character show exactly.
  private static void reportArguments(PrintStream out, String[] args) {
    out.println("arg.count=" + args.length);
    for (int i = 0; i < args.length; i++) {
      out.println("arg." + i + "=" + quote(args[i]));
      out.println("arg." + i + ".utf16=" + utf16(args[i]));
    }
  }

  private static void reportProperties(PrintStream out) {
    String[] names = {
      "java.version",
      "java.home",
      "java.class.path",
      "java.library.path",
      "java.security.policy",
      "user.dir",
      "user.home"
    };
    for (String name : names) {
      String value;
      try {
        value = System.getProperty(name);
      } catch (SecurityException e) {
        value = "<denied: " + e.getMessage() + ">";
      }
      out.println(name + "=" + quote(value));
    }
  }

  // The options the launcher created the VM with, in order. The VM lists all
  // but the class path, which it keeps as java.class.path alone.
  private static void reportVmOptions(PrintStream out) {
    List<String> options;
    try {
      options = ManagementFactory.getRuntimeMXBean().getInputArguments();
    } catch (SecurityException e) {
      out.println("vm.options=<denied>");
      return;
    }
    out.println("vm.option.count=" + options.size());
    for (int i = 0; i < options.size(); i++) {
      out.println("vm.option." + i + "=" + quote(options.get(i)));
    }
  }

  @SuppressWarnings("removal")
  private static void reportSecurity(PrintStream out) {
    SecurityManager manager = System.getSecurityManager();
    out.println("security.manager=" + (manager != null ? "on" : "off"));
    if (manager != null) {
      out.println("security.manager.class=" + manager.getClass().getName());
    }

    CodeSource source = Veltrana.class.getProtectionDomain().getCodeSource();
    URL location = source != null ? source.getLocation() : null;
    out.println("code.source=" + quote(location != null ? location.toString() : null));

    // Under the manager these checks walk the stack, so they answer what the
    // policy grants to this archive's code. Without it everything is allowed.
    out.println("permission.all=" + check(manager, new AllPermission()));
    out.println(
        "permission.read.user.home=" + check(manager, new PropertyPermission("user.home", "read")));
  }

  @SuppressWarnings("removal")
  private static String check(SecurityManager manager, java.security.Permission permission) {
    if (manager == null) {
      return "granted (no security manager)";
    }
    try {
      manager.checkPermission(permission);
      return "granted";
    } catch (SecurityException e) {
      return "denied";
    }
  }

  // Proves that the archives below the install folder's lib folder are on
  // the class path: a class from one, a resource from another.
  private static void reportLibraryArchives(PrintStream out) {
    try {
      Class<?> util = Class.forName(UTIL_CLASS);
      String greeting = (String) util.getMethod("greeting").invoke(null);
      out.println("lib.class=" + quote(greeting));
      out.println("lib.class.from=" + quote(locationOf(util)));
    } catch (ReflectiveOperationException | LinkageError e) {
      out.println("lib.class=<missing: " + e + ">");
    }

    URL resource = Veltrana.class.getClassLoader().getResource(EXTRA_RESOURCE);
    if (resource == null) {
      out.println("lib.resource=<missing>");
      return;
    }
    try (InputStream in = resource.openStream();
        BufferedReader reader = new BufferedReader(new InputStreamReader(in, "UTF-8"))) {
      out.println("lib.resource=" + quote(reader.readLine()));
      out.println("lib.resource.from=" + quote(resource.toString()));
    } catch (IOException e) {
      out.println("lib.resource=<unreadable: " + e + ">");
    }
  }

  private static String locationOf(Class<?> type) {
    CodeSource source = type.getProtectionDomain().getCodeSource();
    return source != null && source.getLocation() != null ? source.getLocation().toString() : null;
  }

  // The text in double quotes, with backslash, double quote and control
  // characters escaped so that one value always stays on one line.
  static String quote(String text) {
    if (text == null) {
      return "null";
    }
    StringBuilder quoted = new StringBuilder("\"");
    for (int i = 0; i < text.length(); i++) {
      char c = text.charAt(i);
      if (c == '\\' || c == '"') {
        quoted.append('\\').append(c);
      } else if (c < 0x20 || c == 0x7f) {
        quoted.append(String.format("\\u%04x", (int) c));
      } else {
        quoted.append(c);
      }
    }
    return quoted.append('"').toString();
  }

  static String utf16(String text) {
    StringBuilder units = new StringBuilder();
    for (int i = 0; i < text.length(); i++) {
      if (i > 0) {
        units.append(' ');
      }
      units.append(String.format("%04x", (int) text.charAt(i)));
    }
    return units.toString();
  }
}
