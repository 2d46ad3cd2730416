#pragma once
// A fresh configuration folder, program folder and drive table for each test.

#include <gtest/gtest.h>

#include <string>

#include "tests/support/EnvGuard.h"
#include "tests/support/TempDir.h"

namespace quillbox::test {

class HostkitTest : public ::testing::Test {
  protected:
    HostkitTest()
        : m_config("XDG_CONFIG_HOME", m_root.file("config")),
          m_home("QUILLBOX_HOME", m_root.file("program/")),
          m_drives("QUILLBOX_DRIVES", "E=" + m_root.file("reader")),
          m_codePage("QUILLBOX_ANSI_CODEPAGE", std::nullopt) {}

    std::string configFolder() const { return m_root.file("config/quillbox/"); }
    std::string programFolder() const { return m_root.file("program/"); }
    std::string readerFolder() const { return m_root.file("reader/"); }
    const TempDir& root() const { return m_root; }

  private:
    TempDir m_root;
    EnvGuard m_config;
    EnvGuard m_home;
    EnvGuard m_drives;
    EnvGuard m_codePage;
};

}  // namespace quillbox::test
