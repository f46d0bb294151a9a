// The launch trace on the in-memory Windows: what it says for each outcome,
// read from the in-memory file it writes.
#include "trace/launch_trace.h"

#include <cstdarg>
#include <cstdio>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "launcher/launch_sequence.h"
#include "launcher_fixture.h"
#include "platform/trace_outlet.h"

namespace {

using LaunchTraceTest = LauncherTest;

// What the trace says for a good launch and for each kind of failure: the
// one table of the trace's wording. The trace is a file of the in-memory
// machine.
TEST_F(LaunchTraceTest, TraceExplainsEachOutcome) {
  struct Case {
    const char* name;
    std::function<void()> arrange;
    int exitCode;
    std::vector<std::string> lines;
  };
  const std::string vendor = paths::kVendorKey;
  const Case cases[] = {
      {"good launch",
       [] {},
       0,
       {"launcher version ",
        "stage 1 begun: single-instance guard",
        "guard: the name \"Veltrana.jar\" is ours",
        "install folder: C:\\Apps\\Veltrana",
        "registry key SOFTWARE\\Orrindale: not opened, error 2",
        "registry value " + vendor + "\\CurrentVersion: REG_SZ, 4 bytes",
        "registry value " + vendor + "\\CurrentVersion = \"1.6\"",
        "runtime chosen: the Java vendor's key, CurrentVersion \"1.6\"; home \"C:\\Java\\jre6\"",
        "does not exist: C:\\Java\\jre6\\bin\\msvcr71.dll",
        "library loaded: C:\\Java\\jre6\\bin\\client\\jvm.dll",
        "entry point JNI_CreateJavaVM: found",
        "policy file C:\\Temp\\Veltrana.exe.policy: written",
        "class-path scan of C:\\Apps\\Veltrana\\lib\\: 2 folders entered, 9 entries seen, 2 "
        "archives added, 1 folders skipped as already visited, 1 folders unreadable",
        "VM option 1: -Djava.class.path=C:\\Apps\\Veltrana\\Veltrana.jar;",
        "VM option 7: -Xmx512m",
        "JNI_CreateJavaVM returned 0 after ",
        "class com/kvn/vt/Veltrana: found",
        "main returned after ",
        "DestroyJavaVM returned 0",
        "stage 10 ended: exit",
        "exit code 0",
        "current folder changed to C:\\Users\\ann",
        "deleted: C:\\Temp\\Veltrana.exe.policy"}},
      {"name taken",
       [] { fake::takeMutexName("Veltrana.jar"); },
       1,
       {"guard: another launch holds the name \"Veltrana.jar\"", "stage 1 ended", "exit code 1"}},
      {"no vendor key",
       [] { fake::denyRegistryKey(paths::kVendorKey); },
       1,
       {"registry key " + vendor + ": not opened, error 5",
        "message box: Fatal Error Launching: Can't locate JRE[Java Runtime Environment]",
        "stage 4 ends the launch: exit code 1"}},
      {"version too long",
       [] { fake::setRegistryText(paths::kVendorKey, "CurrentVersion", std::string(90, '9')); },
       1,
       {"CurrentVersion: refused, it does not fit its buffer of 80 bytes",
        "Can't locate JRE[CurrentVersion]"}},
      {"version not text",
       [] {
         fake::setRegistryValue(paths::kVendorKey, "CurrentVersion", platform::kRegDword,
                                std::string("\x06\0\0\0", 4));
       },
       1,
       {"CurrentVersion: REG_DWORD, 4 bytes, refused: not text",
        "Can't locate JRE[CurrentVersion]"}},
      {"VM library fails",
       [] { fake::failLibrary(paths::kVendorVm); },
       1,
       {"library not loaded: C:\\Java\\jre6\\bin\\client\\jvm.dll: error 193: Error 193 text",
        "Error loading JVM"}},
      {"policy file kept",
       [] {
         fake::addFile(paths::kPolicyFile);
         fake::makeUndeletable(paths::kPolicyFile);
       },
       0,
       {"not deleted: C:\\Temp\\Veltrana.exe.policy (error 5: Error 5 text)",
        "policy file C:\\Temp\\Veltrana.exe.policy: kept"}},
      {"policy file not written",
       [] { fake::failOpening(paths::kPolicyFile); },
       0,
       {"policy file C:\\Temp\\Veltrana.exe.policy: not written (error 5: Error 5 text)",
        "policy file C:\\Temp\\Veltrana.exe.policy: none written; the option names it all the "
        "same"}},
      {"profile folder missing",
       [] { fake::setEnv("USERPROFILE", "C:\\Users\\gone"); },
       0,
       {"current folder not changed to C:\\Users\\gone (error "}},
      {"newline in a traced path",
       [] {
         fake::setModulePath("C:\\Apps\\Vel\ntrana\\Veltrana.exe");
         fake::addFile("C:\\Apps\\Vel\ntrana\\Veltrana.exe", "MZ");
       },
       0,
       {"install folder: C:\\Apps\\Vel\\x0Atrana\r\n", "!Vel\ntrana"}},
      {"creation fails",
       [] { fakejni::behaviour().createResult = JNI_ENOMEM; },
       1,
       {"JNI_CreateJavaVM returned -4 after ", "Can't create Java VM ", "stage 8 ends the launch"}},
      {"main class missing",
       [] { fakejni::behaviour().mainClassMissing = true; },
       1,
       {"class com/kvn/vt/Veltrana: not found, pending exception java.lang.NoClassDefFoundError",
        "Failed to find main class",
        "beside the executable: C:\\Apps\\Veltrana\\Veltrana.jar exists"}},
      {"main throws",
       [] { fakejni::behaviour().mainThrows = true; },
       0,
       {"pending exception java.lang.IllegalStateException", "exit code 0"}},
      {"TEMP with no form in the code page",
       [] {
         fake::setWideOnlyName("C:\\\u5DE5", "");
         fake::setEnvWide("TEMP", u"C:\\\u5DE5");
       },
       0,
       {"platform: \"C:\\\u5DE5\" has no form in the ANSI code page, not even a short one: left "
        "out"}},
      {"refused paths",
       [] {
         fake::failModulePath(122, "C:\\A;B\\Veltrana.exe");  // taken as it is
         fake::addFile("C:\\A;B\\lib\\a.jar");
         fake::setRegistryText(paths::kVendorVersionKey, "JavaHome", "jre6");
         fake::setRegistryText(paths::kQuickTimeKey, "QTExtDir", "");
         fake::addFolder(paths::kPolicyFile);
       },
       0,
       {"install folder \"C:\\A;B\": holds the path-list separator, which a Java class path "
        "cannot express",
        "refused: JavaHome \"jre6\": not an absolute path", "refused: QTExtDir \"\": empty",
        "refused: policy file \"C:\\Temp\\Veltrana.exe.policy\": not a regular file",
        "refused: class-path entry \"C:\\A;B\\lib\\a.jar\": holds the path-list separator"}},
      {"lib name that reaches a device",
       [] { fake::addFile("C:\\Apps\\Veltrana\\lib\\com1.jar"); },
       0,
       {"platform: left out: com1.jar: a reserved device name"}},
      {"left-out lib name with a line feed",
       [] { fake::addFile("C:\\Apps\\Veltrana\\lib\\a\nb.jar."); },
       0,
       {"platform: left out: a\\x0Ab.jar.: ", "!a\nb"}},
  };
  const std::string tracePath = "C:\\Users\\ann\\trace.txt";
  for (const Case& c : cases) {
    startOver();
    setUpWorkingMachine();
    fake::addFolder("C:\\Apps\\Veltrana\\lib\\sub");
    fake::addFile("C:\\Apps\\Veltrana\\lib\\a.jar");
    fake::addFile("C:\\Apps\\Veltrana\\lib\\sub\\b.zip");
    fake::denyListing("C:\\Apps\\Veltrana\\lib\\sub\\c");
    fake::addFolder("C:\\Apps\\Veltrana\\lib\\sub\\c");
    fake::addFolderLink("C:\\Apps\\Veltrana\\lib\\sub\\loop", "C:\\Apps\\Veltrana\\lib");
    c.arrange();
    fake::setEnv("VELTRANA_TRACE", tracePath);

    EXPECT_EQ(launch(), c.exitCode) << c.name;
    platform::closeTraceOutput();

    const std::string trace = fake::fileContents(tracePath);
    // A line starting with "!" is one the trace must not hold.
    for (const std::string& line : c.lines) {
      if (line[0] == '!') {
        EXPECT_EQ(trace.find(line.substr(1)), std::string::npos) << c.name << ": " << line;
      } else {
        EXPECT_NE(trace.find(line), std::string::npos) << c.name << ": " << line << "\n" << trace;
      }
    }
    // The session log and the box say what they always say.
    if (c.exitCode == 1 && std::string(c.name) != "name taken") {
      EXPECT_EQ(fake::messageBoxes().size(), 1u) << c.name;
    }
  }
  // Only in trace mode does the VM get its print, exit and abort hooks.
  EXPECT_EQ(fakejni::creation().nOptions, 10);
  EXPECT_EQ(vmOption(7), "vfprintf");

  // Unset or empty: nothing written, the seven options alone.
  for (const char* setting : {"", static_cast<const char*>(nullptr)}) {
    startOver();
    setUpWorkingMachine();
    if (setting != nullptr) {
      fake::setEnv("VELTRANA_TRACE", setting);
    }
    EXPECT_EQ(launch(), 0);
    EXPECT_FALSE(platform::traceOutputOpen());
    EXPECT_FALSE(fake::fileExists(tracePath));
    EXPECT_EQ(fakejni::creation().nOptions, 7);
  }
}

// The VM printing parts of lines from two threads at once.
TEST_F(LaunchTraceTest, TraceKeepsEachVmThreadsLinesWhole) {
  const std::string tracePath = "C:\\Users\\ann\\trace.txt";
  setUpWorkingMachine();
  fake::setEnv("VELTRANA_TRACE", tracePath);
  EXPECT_EQ(launch(), 0);
  using PrintHook = jint(JNICALL*)(FILE*, const char*, va_list);
  auto print = [](const char* format, ...) {
    auto hook = reinterpret_cast<PrintHook>(fakejni::creation().extraInfo.at(7));
    va_list args;
    va_start(args, format);
    hook(stdout, format, args);
    va_end(args);
  };

  // This thread starts a line, another prints a whole one, this one ends its.
  print("thread %d line ", 1);
  std::thread([&] { print("thread %d line 0\n", 2); }).join();
  print("end\n");
  platform::closeTraceOutput();

  const std::string trace = fake::fileContents(tracePath);
  for (const char* line : {"us  VM: thread 2 line 0\r\n", "us  VM: thread 1 line end\r\n"}) {
    EXPECT_NE(trace.find(line), std::string::npos) << line << "\n" << trace;
  }
}

}  // namespace
