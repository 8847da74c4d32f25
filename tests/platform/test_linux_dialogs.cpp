#include "platform/linux/linux_dialogs.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <thread>

#include "platform/linux/given_answers.h"
#include "platform/linux/linux_terminal.h"
#include "tests/support/pty.h"
#include "tests/support/vt_screen.h"

namespace vexl::platform {
namespace {

using testing::Pty;

int ask(Pty& pty, const std::string& typed, std::uint32_t type, std::string* shown = nullptr,
        LinuxTerminal* console = nullptr)
{
    LinuxDialogs dialogs(pty.slave, pty.slave, console, false);
    pty.type(typed);
    const int answer = dialogs.message_box(nullptr, "Simulate PC-Speaker?", "the caption", type);
    const std::string output = pty.drain(std::chrono::milliseconds(200));
    if (shown != nullptr)
        *shown = output;
    return answer;
}

TEST(LinuxDialogs, TerminalAnswersWithEnterAsYes)
{
    Pty pty(24, 80);
    std::string shown;
    EXPECT_EQ(ask(pty, "\n", MB_YESNO, &shown), IDYES);
    EXPECT_NE(shown.find("the caption"), std::string::npos);
    EXPECT_NE(shown.find("Simulate PC-Speaker? [Y/n]"), std::string::npos);
    EXPECT_EQ(ask(pty, "n\n", MB_YESNO), IDNO);
    EXPECT_EQ(ask(pty, " No \n", MB_YESNO), IDNO);
    EXPECT_EQ(ask(pty, "y\n", MB_YESNO), IDYES);
    EXPECT_EQ(ask(pty, "maybe\nn\n", MB_YESNO, &shown), IDNO);
    EXPECT_NE(shown.find("Please answer"), std::string::npos);
    EXPECT_EQ(ask(pty, "\n", MB_OK), IDOK);
}

TEST(LinuxDialogs, TypedAheadAnswersAreTakenOneQuestionAtATime)
{
    Pty pty(24, 80);
    LinuxDialogs dialogs(pty.slave, pty.slave, nullptr, false);
    pty.type("n\ny\n");
    EXPECT_EQ(dialogs.message_box(nullptr, "first?", "c", MB_YESNO), IDNO);
    EXPECT_EQ(dialogs.message_box(nullptr, "second?", "c", MB_YESNO), IDYES);
}

TEST(LinuxDialogs, EndOfInputTakesTheDefault)
{
    int pipe_fds[2];
    ASSERT_EQ(pipe(pipe_fds), 0);
    ::close(pipe_fds[1]);
    Pty pty(24, 80);
    // Not a terminal and no desktop: the default, said on stderr.
    LinuxDialogs dialogs(pipe_fds[0], pty.slave, nullptr, false);
    ::testing::internal::CaptureStderr();
    EXPECT_EQ(dialogs.message_box(nullptr, "Use it?", "cap", MB_YESNO), IDYES);
    EXPECT_EQ(dialogs.message_box(nullptr, "Loading failed.", "cap", MB_OK), IDOK);
    const std::string said = ::testing::internal::GetCapturedStderr();
    EXPECT_NE(said.find("Use it? -> Yes"), std::string::npos) << said;
    EXPECT_NE(said.find("Loading failed. -> OK"), std::string::npos) << said;
    ::close(pipe_fds[0]);
}

TEST(LinuxDialogs, AnswersGivenBeforehandAnswerTheFirstYesNoQuestionsUnasked)
{
    Pty pty(24, 80);
    LinuxDialogs dialogs(pty.slave, pty.slave, nullptr, false, {IDNO, IDYES});
    pty.type("\n\n");
    EXPECT_EQ(dialogs.message_box(nullptr, "Loading failed.", "c", MB_OK), IDOK) << "takes none of them";
    EXPECT_EQ(dialogs.message_box(nullptr, "first?", "c", MB_YESNO), IDNO);
    EXPECT_EQ(dialogs.message_box(nullptr, "second?", "c", MB_YESNO), IDYES);
    EXPECT_EQ(dialogs.message_box(nullptr, "third?", "c", MB_YESNO), IDYES) << "asked: Enter";
    const std::string shown = pty.drain(std::chrono::milliseconds(200));
    EXPECT_EQ(shown.find("first?"), std::string::npos) << shown;
    EXPECT_NE(shown.find("third? [Y/n]"), std::string::npos) << shown;
}

TEST(LinuxDialogs, GivenAnswersReadAsTypedOnesAndNothingElse)
{
    std::string problem;
    EXPECT_EQ(parse_given_answers(" y , N,", problem), (std::deque<int>{IDYES, IDNO}));
    EXPECT_EQ(parse_given_answers("No,,Yes", problem), std::deque<int>{});
    EXPECT_EQ(problem, "'' is neither Yes nor No");
    const int answers[] = {IDNO, IDYES};
    EXPECT_EQ(given_answers_text(answers), "No,Yes");
}

TEST(LinuxDialogs, QuestionOverTheConsoleIsAskedOnTheMainScreen)
{
    Pty pty(50, 80);
    LinuxTerminal console(pty.slave, term::ColorMode::truecolor);
    console.alloc_console();
    pty.drain();
    LinuxDialogs dialogs(pty.slave, pty.slave, &console, false);
    int answer = 0;
    // Giving the terminal back drops typed-ahead keys (they were typed at
    // the demo), so the answer is typed once the question is up.
    std::thread asking([&] { answer = dialogs.message_box(nullptr, "Loading failed.", "cap", MB_OK); });
    const std::string shown = pty.read_until("[press Enter] ");
    pty.type("\n");
    asking.join();
    EXPECT_EQ(answer, IDOK);
    testing::VtScreen vt(50, 80);
    vt.feed(shown);
    EXPECT_FALSE(vt.private_modes[1049]) << "left the alternate screen before asking";
    EXPECT_LT(shown.find("\x1b[?1049l"), shown.find("Loading failed.")) << "main screen first";
    console.free_console();
}

}  // namespace
}  // namespace vexl::platform
