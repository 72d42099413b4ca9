#include "support/module_loader.h"

#include <dlfcn.h>

namespace kxtest {

const ACHAR* moduleFile() {
    static const AcString file = AcString::fromUtf8(KX_MODULE_FILE);
    return file.kwszPtr();
}

LoadedModule::LoadedModule() {
    AcRxDynamicLinker* linker = acrxDynamicLinker();
    m_loaded = linker != nullptr && linker->loadModule(moduleFile());
}

LoadedModule::~LoadedModule() {
    unload();
}

void* LoadedModule::handle() const {
    AcRxDynamicLinker* linker = acrxDynamicLinker();
    return linker != nullptr ? linker->moduleHandle(moduleFile()) : nullptr;
}

void LoadedModule::unload() {
    if (m_loaded) {
        acrxDynamicLinker()->unloadModule(moduleFile());
        m_loaded = false;
    }
}

int LoadedModule::send(int message) const {
    void* h = handle();
    auto entry = reinterpret_cast<int (*)(int, void*)>(dlsym(h, "acrxEntryPoint"));
    return entry != nullptr ? entry(message, h) : -1;
}

void ModuleTest::SetUp() {
    m_module = new LoadedModule();
    ASSERT_TRUE(m_module->loaded());
}

void ModuleTest::TearDown() {
    delete m_module;
    m_module = nullptr;
}

}  // namespace kxtest
