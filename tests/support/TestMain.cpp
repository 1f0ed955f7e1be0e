// Test entry point: runs a child scenario when asked for one, GoogleTest otherwise.

#include <gmock/gmock.h>

namespace testing_support {
int RunChildScenarioIfAsked(int argc, char** argv, bool* ran);
}

int main(int argc, char** argv) {
    bool ranChild = false;
    const int code = testing_support::RunChildScenarioIfAsked(argc, argv, &ranChild);
    if (ranChild)
        return code;
    ::testing::InitGoogleMock(&argc, argv);
    return RUN_ALL_TESTS();
}
