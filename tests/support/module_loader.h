// Loads the plug-in into the test process through the host's loader, as the host does.
#pragma once

#include <gtest/gtest.h>

#include "host/rx/services.h"

namespace kxtest {

// The plug-in file the tests were built with.
const ACHAR* moduleFile();

// Loads the plug-in for the life of the object.
class LoadedModule {
  public:
    LoadedModule();
    ~LoadedModule();
    LoadedModule(const LoadedModule&) = delete;
    LoadedModule& operator=(const LoadedModule&) = delete;
    bool loaded() const { return m_loaded; }
    void* handle() const;
    // Unloads now (the destructor then does nothing).
    void unload();
    // Sends a message straight to the plug-in's entry point.
    int send(int message) const;

  private:
    bool m_loaded = false;
};

// A fixture whose tests run with the plug-in loaded.
class ModuleTest : public ::testing::Test {
  protected:
    void SetUp() override;
    void TearDown() override;
    LoadedModule* module() { return m_module; }

  private:
    LoadedModule* m_module = nullptr;
};

}  // namespace kxtest
