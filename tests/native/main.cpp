// The test binary: with no argument it lists its tests, with a name it runs that test.
#include "check.hpp"

#include <cstring>

int main(int argc, char** argv) {
    for (native::TestCase* test = native::firstTest(); test; test = test->next) {
        if (argc < 2) {
            std::printf("%s\n", test->name);
        } else if (std::strcmp(argv[1], test->name) == 0) {
            test->run();
            return native::failures == 0 ? 0 : 1;
        }
    }
    if (argc < 2) return 0;
    std::fprintf(stderr, "no test named %s\n", argv[1]);
    return 2;
}
