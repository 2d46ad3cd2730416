#pragma once
// Sets (or unsets) an environment variable for the life of the object and puts
// the old value back afterwards.

#include <optional>
#include <string>

namespace quillbox::test {

class EnvGuard {
  public:
    EnvGuard(std::string name, const std::optional<std::string>& value);
    ~EnvGuard();
    EnvGuard(const EnvGuard&) = delete;
    EnvGuard& operator=(const EnvGuard&) = delete;

  private:
    std::string m_name;
    std::optional<std::string> m_old;
};

}  // namespace quillbox::test
