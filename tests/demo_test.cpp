// The demonstration program end to end, as a user runs it: the question answered with a real key
// press, the window it opens, the frames it shows, and the way it ends.
#include "xsupport.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <string>
#include <thread>

using namespace std::chrono_literals;

namespace {

constexpr const char* kTitle = "Dimostrazione di FX_TextureBumpMap e FX_Cartoon";

std::string Demo() { return xsupport::buildDir() + "/nembra-demo"; }

// Runs the demo on `display`, answers its question with `key` and returns the window it opened.
unsigned long StartAndAnswer(xsupport::ChildProcess& demo, xsupport::XClient& x, const char* key) {
    const unsigned long question = x.waitForWindow("Video!", 10s);
    if (!question) {
        ADD_FAILURE() << "no question box; stderr: " << demo.stderrText();
        return 0;
    }
    x.setInputFocus(question);
    x.tapKey(key);
    const unsigned long window = x.waitForWindow(kTitle, 10s);
    if (!window)
        ADD_FAILURE() << "no demo window; stderr: " << demo.stderrText();
    return window;
}

bool AllPixels(const std::vector<std::uint8_t>& rgb, std::uint8_t r, std::uint8_t g, std::uint8_t b) {
    for (std::size_t i = 0; i + 2 < rgb.size(); i += 3)
        if (rgb[i] != r || rgb[i + 1] != g || rgb[i + 2] != b)
            return false;
    return !rgb.empty();
}

} // namespace

struct AnswerCase {
    const char* name;
    const char* key; // the answer, as a real key press
    int screenWidth, screenHeight;
    int windowWidth, windowHeight;
};

class DemoAnswered : public testing::TestWithParam<AnswerCase> {};

// The window opens at (0, 0) in the size the answer asks for, shows swapped frames, and the close
// request ends the program with exit code 0.
TEST_P(DemoAnswered, OpensTheWindowDrawsFramesAndEndsOnTheCloseRequest) {
    const AnswerCase& c = GetParam();
    xsupport::XvfbServer server(c.screenWidth, c.screenHeight);
    xsupport::ChildProcess demo({Demo()}, {"DISPLAY=" + server.display()});
    xsupport::XClient x(server.display());
    const unsigned long window = StartAndAnswer(demo, x, c.key);
    ASSERT_NE(window, 0ul);
    const auto geometry = x.geometry(window);
    ASSERT_TRUE(geometry);
    EXPECT_EQ(geometry->x, 0);
    EXPECT_EQ(geometry->y, 0);
    EXPECT_EQ(geometry->width, c.windowWidth);
    EXPECT_EQ(geometry->height, c.windowHeight);
    EXPECT_EQ(x.wmClassName(window), "GLWindow");

    // The window starts in its grey class background; swapped frames turn it to the black clear colour.
    bool black = false;
    int width = 0, height = 0;
    for (int attempt = 0; attempt < 100 && !black; ++attempt) {
        black = AllPixels(x.captureRgb(window, width, height), 0, 0, 0);
        if (!black)
            std::this_thread::sleep_for(50ms);
    }
    EXPECT_TRUE(black) << "the window never showed a whole swapped frame";
    EXPECT_TRUE(demo.running());

    x.sendCloseRequest(window);
    const auto code = demo.wait(10s);
    ASSERT_TRUE(code) << "the demo did not end after the close request";
    EXPECT_EQ(*code, 0) << demo.stderrText();
    EXPECT_TRUE(x.waitForWindowGone(kTitle, 2s));
}

INSTANTIATE_TEST_SUITE_P(Answers, DemoAnswered,
                         testing::Values(AnswerCase{"NoOpensTheWindowedKind", "n", 1024, 768, 800, 600},
                                         AnswerCase{"YesCoversTheScreen", "y", 1280, 720, 1280, 720}),
                         [](const testing::TestParamInfo<AnswerCase>& info) { return info.param.name; });

// Without a display the question goes to standard error with its default answer (Yes), and window
// creation fails with the library's message and exit code 1.
TEST(Demo, WithoutADisplayItSaysWhyAndFails) {
    xsupport::ChildProcess demo({Demo()}, {"DISPLAY"});
    const auto code = demo.wait(10s);
    ASSERT_TRUE(code) << "the demo hung without a display";
    EXPECT_EQ(*code, 1);
    const std::string err = demo.stderrText();
    EXPECT_NE(err.find("Video!: Settare lo schermo intero?  "), std::string::npos) << err;
    EXPECT_NE(err.find("Error: Impossibile creare la finestra per la rispettiva applicazione!"), std::string::npos)
        << err;
}
