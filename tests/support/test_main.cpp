// gtest main for suites that need a display: each test process gets its own Xvfb.
#include "xsupport.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <memory>

int main(int argc, char** argv) {
    // Death-test children are re-executed, so they start clean instead of forking a process
    // that holds X connections and GL state.
    GTEST_FLAG_SET(death_test_style, "threadsafe");

    bool listingOnly = false;
    for (int i = 1; i < argc; ++i)
        if (std::strcmp(argv[i], "--gtest_list_tests") == 0)
            listingOnly = true;

    // A set NEMBRA_TEST_XVFB means an ancestor test process already started the server (death-test
    // re-execution); its DISPLAY is inherited. Test discovery only lists names and needs none.
    std::unique_ptr<xsupport::XvfbServer> server;
    const char* inherited = std::getenv("NEMBRA_TEST_XVFB");
    if ((!inherited || !*inherited) && !listingOnly) {
        try {
            server = std::make_unique<xsupport::XvfbServer>(1024, 768);
        } catch (const std::exception& e) {
            std::fprintf(stderr, "%s\n", e.what());
            return 1;
        }
        setenv("DISPLAY", server->display().c_str(), 1);
        setenv("NEMBRA_TEST_XVFB", "1", 1);
    }

    testing::InitGoogleTest(&argc, argv);
    int result = RUN_ALL_TESTS();
    server.reset();
    return result;
}
