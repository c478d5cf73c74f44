// The demonstration program end to end, as a user runs it: the question answered with a real key
// press, the window it opens, the frames it shows, and the way it ends.
#include "xsupport.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <set>
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

    // The window starts in its grey class background; swapped frames show the black clear colour in
    // the top rows, above the wall.
    bool black = false;
    int width = 0, height = 0;
    for (int attempt = 0; attempt < 100 && !black; ++attempt) {
        std::vector<std::uint8_t> rgb = x.captureRgb(window, width, height);
        rgb.resize(std::min<std::size_t>(rgb.size(), static_cast<std::size_t>(width) * 3 * 4));
        black = AllPixels(rgb, 0, 0, 0);
        if (!black)
            std::this_thread::sleep_for(50ms);
    }
    EXPECT_TRUE(black) << "the window never showed a swapped frame";
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

namespace {

// Where a scene point lands in the 800 x 600 window at the navigation's starting values: the camera
// puts the scene origin 40 ahead of the eye and 12 below, with the scene's z axis up, under a 45 degree
// perspective. Returns window pixels, top row 0.
struct Pixel {
    int x, y;
};
Pixel Project(double x, double y, double z) {
    const double eyeX = x, eyeY = z - 12, eyeZ = -y - 40;
    const double f = 1 / std::tan(22.5 * 3.141592653589793 / 180);
    const double ndcX = f / (800.0 / 600.0) * eyeX / -eyeZ, ndcY = f * eyeY / -eyeZ;
    return {static_cast<int>(std::lround((ndcX + 1) * 400)), static_cast<int>(std::lround((1 - ndcY) * 300))};
}

struct Picture {
    std::vector<std::uint8_t> rgb;
    int width = 0, height = 0;
    std::array<int, 3> at(int x, int y) const {
        const std::size_t i = (static_cast<std::size_t>(y) * width + x) * 3;
        return {rgb[i], rgb[i + 1], rgb[i + 2]};
    }
};

bool Black(const std::array<int, 3>& c) { return c[0] < 40 && c[1] < 40 && c[2] < 40; }
bool Greyish(const std::array<int, 3>& c) {
    return !Black(c) && std::abs(c[0] - c[1]) < 25 && std::abs(c[1] - c[2]) < 25;
}

// Distinct colours along a run of pixels: a textured surface has many, a flat-shaded one few.
std::size_t Colours(const Picture& p, Pixel from, Pixel to) {
    std::set<std::array<int, 3>> seen;
    const int steps = std::max(std::abs(to.x - from.x), std::abs(to.y - from.y));
    for (int i = 0; i <= steps; ++i)
        seen.insert(p.at(from.x + (to.x - from.x) * i / steps, from.y + (to.y - from.y) * i / steps));
    return seen.size();
}

// How many pixels two pictures of the same size differ in.
std::size_t Changed(const Picture& a, const Picture& b) {
    std::size_t changed = 0;
    for (std::size_t i = 0; i + 2 < a.rgb.size() && i + 2 < b.rgb.size(); i += 3)
        changed += a.rgb[i] != b.rgb[i] || a.rgb[i + 1] != b.rgb[i + 1] || a.rgb[i + 2] != b.rgb[i + 2];
    return changed;
}

// A picture taken once two consecutive captures of drawn frames agree (the scene is still).
Picture Settled(xsupport::XClient& x, unsigned long window) {
    Picture last;
    for (int attempt = 0; attempt < 100; ++attempt) {
        Picture now;
        now.rgb = x.captureRgb(window, now.width, now.height);
        const bool drawn = now.rgb.size() >= 3 && Black(now.at(0, 0)); // the class background is grey
        if (drawn && now.rgb == last.rgb)
            return now;
        last = std::move(now);
        std::this_thread::sleep_for(100ms);
    }
    return last;
}

constexpr double kColumnX[4] = {-15, -5, 5, 15};

} // namespace

// What a viewer sees of the scene: four columns where their scene coordinates project, the first two
// textured, the last two outlined in black, the fourth flat; the grey floor and wall behind; the
// light's point near the top centre. A drag turns the scene, and Escape ends the program with 0.
TEST(Demo, ShowsTheFourColumnsAndAnswersTheMouseAndEscape) {
    xsupport::XvfbServer server(1024, 768);
    xsupport::ChildProcess demo({Demo()}, {"DISPLAY=" + server.display()});
    xsupport::XClient x(server.display());
    const unsigned long window = StartAndAnswer(demo, x, "n");
    ASSERT_NE(window, 0ul);
    const Picture shot = Settled(x, window);
    ASSERT_EQ(shot.width, 800);
    ASSERT_EQ(shot.height, 600);
    if (const char* keep = std::getenv("NEMBRA_E2E_SCREENSHOT"))
        xsupport::writePng(keep, shot.rgb, shot.width, shot.height);

    const int midY = Project(0, 0, 11).y; // halfway up the shafts
    for (int c = 0; c < 4; ++c) {
        SCOPED_TRACE(testing::Message() << "column " << c + 1);
        const Pixel centre = Project(kColumnX[c], 0, 11);
        const Pixel left = Project(kColumnX[c] - 1.5, 0, 11), right = Project(kColumnX[c] + 1.5, 0, 11);
        const Pixel outside = Project(kColumnX[c] + 3.5, 0, 11); // between two columns: the wall
        ASSERT_GT(left.x, 0);
        ASSERT_LT(right.x, 800);
        EXPECT_TRUE(Greyish(shot.at(outside.x, midY))) << "the wall behind the columns is fog grey";
        EXPECT_NE(shot.at(centre.x, midY), shot.at(outside.x, midY)) << "nothing stands at x " << kColumnX[c];
        // A black outline just outside each silhouette edge.
        int blackAtEdges = 0;
        for (const int edge : {left.x, right.x})
            for (int dx = -4; dx <= 4; ++dx)
                blackAtEdges += Black(shot.at(edge + dx, midY));
        if (c >= 2) {
            EXPECT_GE(blackAtEdges, 4) << "no black outline";
        } else {
            EXPECT_EQ(blackAtEdges, 0) << "an outline where there should be none";
        }
        // Texture shows as many colours down the middle of the shaft; flat shading as few.
        const std::size_t colours = Colours(shot, Project(kColumnX[c], 0, 6), Project(kColumnX[c], 0, 16));
        if (c < 2) {
            EXPECT_GT(colours, 20u) << "the shaft does not look textured";
        } else if (c == 3) {
            EXPECT_LT(colours, 12u) << "the untextured shaft shows a texture";
        }
    }
    EXPECT_TRUE(Greyish(shot.at(400, Project(0, -15, -5).y))) << "the floor in front is fog grey";
    // The light's point against the black above the wall.
    const Pixel light = Project(0, -15, 22);
    int lit = 0;
    for (int dy = -3; dy <= 3; ++dy)
        for (int dx = -3; dx <= 3; ++dx)
            lit += !Black(shot.at(light.x + dx, light.y + dy));
    EXPECT_GT(lit, 0) << "no light point near (" << light.x << ", " << light.y << ")";
    EXPECT_TRUE(Black(shot.at(light.x + 40, light.y))) << "the sky beside the light point is not black";

    // A left drag of 60 pixels to the right turns the scene by 60 degrees about its vertical axis.
    x.movePointer(400, 300);
    x.buttonDown(1);
    for (int step = 1; step <= 6; ++step) {
        x.movePointer(400 + 10 * step, 300);
        std::this_thread::sleep_for(30ms);
    }
    x.buttonUp(1);
    const Picture turned = Settled(x, window);
    EXPECT_GT(Changed(shot, turned), shot.rgb.size() / 3 / 10) << "the drag did not change the picture";

    x.setInputFocus(window);
    x.tapKey("Escape");
    const auto code = demo.wait(10s);
    ASSERT_TRUE(code) << "the demo did not end after Escape";
    EXPECT_EQ(*code, 0) << demo.stderrText();
    EXPECT_EQ(demo.stderrText(), "") << "the demo complained";
}
