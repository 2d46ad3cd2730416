#include "bench/support/Spawn.h"

#include <spawn.h>
#include <unistd.h>

#include <stdexcept>

extern char** environ;

namespace quillbox::bench {

Spawned spawnReadingOutput(std::vector<std::string> words) {
    std::vector<char*> argv;
    for (std::string& word : words) {
        argv.push_back(word.data());
    }
    argv.push_back(nullptr);
    int out[2];
    if (::pipe(out) != 0) {
        throw std::runtime_error("pipe");
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
    posix_spawn_file_actions_addclose(&actions, out[0]);
    Spawned spawned;
    const int started =
        ::posix_spawnp(&spawned.pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    ::close(out[1]);
    if (started != 0) {
        ::close(out[0]);
        throw std::runtime_error("cannot start " + words[0]);
    }
    spawned.output = out[0];
    return spawned;
}

}  // namespace quillbox::bench
