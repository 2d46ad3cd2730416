#pragma once
// Starting a helper program with its standard output on a pipe, for the
// benchmarks that run the store stand-in or a command beside the program.

#include <sys/types.h>

#include <string>
#include <vector>

namespace quillbox::bench {

struct Spawned {
    pid_t pid = -1;
    int output = -1;  // read end of the program's standard output; the caller closes it
};

// Starts words[0] (looked up in PATH when it has no '/') with the rest as its
// arguments. Throws std::runtime_error when it cannot be started.
Spawned spawnReadingOutput(std::vector<std::string> words);

}  // namespace quillbox::bench
