// Replays saved inputs through a fuzz target without the fuzzing engine:
// every regular file of the directories named on the command line is handed
// to LLVMFuzzerTestOneInput once, in name order. A directory that does not
// exist counts as empty; the run fails when no input was found at all or a
// file cannot be read. A fault in the target ends the run under the
// sanitizers as it would under the fuzzer.
#include <dirent.h>
#include <sys/stat.h>

#include <algorithm>
#include <climits>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size);

namespace {

// Absolute paths of the regular files in dir (the target may change the
// current directory).
bool ListInputs(const char* dir, std::vector<std::string>& out) {
    char resolved[PATH_MAX];
    if (realpath(dir, resolved) == nullptr) {
        printf("replay: %s: no such directory, nothing to replay there\n", dir);
        return true;
    }
    DIR* d = opendir(resolved);
    if (d == nullptr) {
        fprintf(stderr, "replay: %s: not a readable directory\n", dir);
        return false;
    }
    std::vector<std::string> names;
    while (struct dirent* e = readdir(d)) {
        std::string path = std::string(resolved) + "/" + e->d_name;
        struct stat st;
        if (e->d_name[0] != '.' && stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode)) {
            names.push_back(path);
        }
    }
    closedir(d);
    std::sort(names.begin(), names.end());
    out.insert(out.end(), names.begin(), names.end());
    return true;
}

bool ReadInput(const std::string& path, std::vector<uint8_t>& data) {
    data.clear();
    FILE* f = fopen(path.c_str(), "rb");
    if (f == nullptr) return false;
    uint8_t chunk[4096];
    size_t got;
    while ((got = fread(chunk, 1, sizeof chunk, f)) > 0)
        data.insert(data.end(), chunk, chunk + got);
    bool ok = ferror(f) == 0;
    fclose(f);
    return ok;
}

}  // namespace

int main(int argc, char** argv) {
    if (argc < 2) {
        fprintf(stderr, "usage: %s DIR...\n", argv[0]);
        return 2;
    }
    std::vector<std::string> inputs;
    for (int i = 1; i < argc; ++i) {
        if (!ListInputs(argv[i], inputs)) return 1;
    }
    if (inputs.empty()) {
        fprintf(stderr, "replay: no inputs found\n");
        return 1;
    }
    std::vector<uint8_t> data;
    for (const std::string& path : inputs) {
        if (!ReadInput(path, data)) {
            fprintf(stderr, "replay: %s: cannot be read\n", path.c_str());
            return 1;
        }
        printf("replay: %s (%zu bytes)\n", path.c_str(), data.size());
        fflush(stdout);
        // A copy of exactly the input's size, so that reads past its end
        // are caught.
        uint8_t* copy = static_cast<uint8_t*>(malloc(data.empty() ? 1 : data.size()));
        if (copy == nullptr) return 1;
        std::copy(data.begin(), data.end(), copy);
        LLVMFuzzerTestOneInput(copy, data.size());
        free(copy);
    }
    printf("replay: %zu inputs passed\n", inputs.size());
    return 0;
}
