// WorkDirectory: a directory of a benchmark program's own under /tmp, which
// the program works in (dump, trace, report, output files) and which goes
// with everything in it when the object does.
#pragma once

#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <system_error>

namespace bench {

class WorkDirectory {
  public:
    WorkDirectory() {
        char dir[] = "/tmp/vantor-bench-XXXXXX";
        if (mkdtemp(dir) == nullptr) return;
        path = dir;
        entered = chdir(dir) == 0;
    }
    ~WorkDirectory() {
        if (path.empty()) return;
        std::error_code ignored;
        std::filesystem::current_path("/tmp", ignored);
        std::filesystem::remove_all(path, ignored);
    }
    WorkDirectory(const WorkDirectory&) = delete;
    WorkDirectory& operator=(const WorkDirectory&) = delete;
    // Whether the program works in it.
    bool entered = false;

  private:
    std::string path;
};

}  // namespace bench
