// Calling the application's main with the command-line arguments, and the
// shutdown after it.
#include "vm/main_invocation.h"

#include <string>
#include <vector>

#include "launcher_fixture.h"
#include "vm/modified_utf8.h"

namespace {

const std::u16string kProgram = u"C:\\Apps\\Veltrana\\Veltrana.exe";

class MainInvocationTest : public LauncherTest {
 protected:
  void SetUp() override {
    LauncherTest::SetUp();
    fake::addFolder(paths::kProfile);
    fake::setEnv("USERPROFILE", paths::kProfile);
  }

  // Runs the stage with these arguments after the program's name; the
  // code the process ended with, or kReturned.
  int invoke(const std::vector<std::u16string>& arguments) {
    std::vector<std::u16string> commandLine = {kProgram};
    commandLine.insert(commandLine.end(), arguments.begin(), arguments.end());
    fake::setCommandLine(commandLine);
    return invoke();
  }

  int invoke() {
    return exitCodeOf([] { invokeMain(fakejni::javaVm(), fakejni::jniEnv(), ""); });
  }

  // The message FatalError was called with, or "" when it was not.
  std::string fatalErrorOf() {
    try {
      invoke();
    } catch (const fakejni::FatalErrorCalled& fatal) {
      return fatal.message;
    }
    return std::string();
  }
};

TEST_F(MainInvocationTest, ArgumentsReachMainInOrderWithoutTheProgram) {
  struct Case {
    const char* what;
    std::vector<std::u16string> arguments;
    std::vector<std::string> expected;
  };
  const Case cases[] = {
      {"none", {}, {}},
      {"two", {u"alpha", u"beta"}, {"alpha", "beta"}},
      // The platform's splitting has already removed the quotes.
      {"with blanks", {u"two words here"}, {"two words here"}},
      {"empty", {u"a", u"", u"b"}, {"a", "", "b"}},
      {"7-bit ASCII",
       {u"-Dx=1 !\"#$%&'()*+,/:;<=>?@[\\]^_`{|}~"},
       {"-Dx=1 !\"#$%&'()*+,/:;<=>?@[\\]^_`{|}~"}},
  };
  for (const Case& c : cases) {
    startOver();

    ASSERT_EQ(invoke(c.arguments), kReturned) << c.what;

    const fakejni::MainCall& call = fakejni::mainCall();
    ASSERT_TRUE(call.called) << c.what;
    EXPECT_FALSE(call.arrayIsNull) << c.what;
    EXPECT_EQ(call.elements, c.expected) << c.what;
    EXPECT_EQ(call.elementIsNull, std::vector<bool>(c.expected.size(), false)) << c.what;
    EXPECT_EQ(fakejni::countCalls("NewObjectArray " + std::to_string(c.expected.size()) +
                                  " java/lang/String null"),
              1)
        << c.what;
  }
}

TEST_F(MainInvocationTest, NonAsciiArgumentsArriveAsModifiedUtf8) {
  ASSERT_EQ(invoke({u"Gr\u00fc\u00dfe", u"\u65e5\u672c\u8a9e", u"\U0001F600"}), kReturned);

  EXPECT_EQ(fakejni::mainCall().elements, (std::vector<std::string>{
                                              "Gr\xC3\xBC\xC3\x9F"
                                              "e",
                                              "\xE6\x97\xA5\xE6\x9C\xAC\xE8\xAA\x9E",
                                              // Each half of the surrogate pair on its own.
                                              "\xED\xA0\xBD\xED\xB8\x80",
                                          }));
  // A command line cannot hold a NUL, but the text handed to the VM is
  // built by one rule: an embedded NUL may not end the text early.
  EXPECT_EQ(toModifiedUtf8(std::u16string(u"a\0b", 3)),
            "a\xC0\x80"
            "b");
}

TEST_F(MainInvocationTest, CommandLineThatCannotBeSplitGivesAnEmptyArray) {
  fake::failCommandLineSplit();

  ASSERT_EQ(invoke(), kReturned);

  EXPECT_TRUE(fakejni::mainCall().called);
  EXPECT_TRUE(fakejni::mainCall().elements.empty());
  EXPECT_EQ(fake::countEvents("releaseCommandLine"), 0);
}

TEST_F(MainInvocationTest, ShutdownAfterMainReturns) {
  ASSERT_EQ(invoke({u"x"}), kReturned);

  // Nothing pending: nothing described. The VM goes, then the arguments.
  EXPECT_EQ(fakejni::countCalls("ExceptionDescribe"), 0);
  int destroyed = fake::eventIndex("DestroyJavaVM");
  EXPECT_GT(destroyed, fake::eventIndex("CallStaticVoidMethod com/kvn/vt/Veltrana"));
  EXPECT_GT(fake::eventIndex("releaseCommandLine"), destroyed);
  EXPECT_EQ(fakejni::calls().back(), "DestroyJavaVM");
}

TEST_F(MainInvocationTest, ExceptionFromMainIsDescribedOnceAndTheLaunchEndsWithZero) {
  setUpWorkingMachine();
  fakejni::behaviour().mainThrows = true;

  EXPECT_EQ(launch(), 0);

  EXPECT_EQ(fakejni::countCalls("ExceptionDescribe"), 1);
  EXPECT_GT(fake::eventIndex("DestroyJavaVM"), fake::eventIndex("ExceptionDescribe"));
  EXPECT_GT(fake::eventIndex("releaseCommandLine"), fake::eventIndex("DestroyJavaVM"));
  EXPECT_TRUE(fake::messageBoxes().empty());
}

TEST_F(MainInvocationTest, MissingMainClassIsFatalThroughTheSessionLog) {
  // A pending exception (a static initialiser that threw) is described
  // before the report; nothing more is asked of the VM.
  for (bool exceptionPending : {true, false}) {
    SCOPED_TRACE(exceptionPending);
    startOver();
    fakejni::behaviour().mainClassMissing = true;
    fakejni::behaviour().lookupFailureLeavesException = exceptionPending;

    EXPECT_EQ(invoke({u"x"}), 1);

    EXPECT_NE(sessionLog().find("\r\r\nFatal Error Launching: Failed to find main class\r\r\n"),
              std::string::npos);
    ASSERT_EQ(fake::messageBoxes().size(), 1u);
    EXPECT_EQ(fake::messageBoxes()[0].text, "Fatal Error Launching: Failed to find main class");
    std::vector<std::string> expected = {"FindClass com/kvn/vt/Veltrana", "ExceptionOccurred"};
    if (exceptionPending) {
      expected.push_back("ExceptionDescribe");
    }
    EXPECT_EQ(fakejni::calls(), expected);
    EXPECT_LT(fake::eventIndex("ExceptionOccurred"), fake::eventIndex("messageBox Veltrana.exe"));
  }
}

TEST_F(MainInvocationTest, MissingMethodOrStringClassEndsThroughTheVm) {
  struct Case {
    bool methodMissing;
    bool exceptionPending;
    std::string message;
  };
  const Case cases[] = {
      {true, true, "Failed to find jmethodID of 'main'"},
      {true, false, "Failed to find jmethodID of 'main'"},
      {false, true, "Failed to find java/lang/String"},
      {false, false, "Failed to find java/lang/String"},
  };
  for (const Case& c : cases) {
    startOver();
    fakejni::behaviour().mainMethodMissing = c.methodMissing;
    fakejni::behaviour().stringClassMissing = !c.methodMissing;
    fakejni::behaviour().lookupFailureLeavesException = c.exceptionPending;

    EXPECT_EQ(fatalErrorOf(), c.message);

    EXPECT_EQ(fakejni::countCalls("ExceptionDescribe"), c.exceptionPending ? 1 : 0) << c.message;
    if (c.exceptionPending) {
      EXPECT_LT(fake::eventIndex("ExceptionDescribe"), fake::eventIndex("FatalError " + c.message));
    }
    // The VM reports it: the launcher logs nothing and shows nothing.
    EXPECT_FALSE(fake::fileExists(paths::kSessionLog)) << c.message;
    EXPECT_TRUE(fake::messageBoxes().empty()) << c.message;
    EXPECT_FALSE(fakejni::mainCall().called) << c.message;
  }
}

}  // namespace
