// A null 3D engine device and a temporary folder for the effect-definition tests.
#ifndef QIRN_TESTS_EFFECTS_DEFS_FIXTURE_H
#define QIRN_TESTS_EFFECTS_DEFS_FIXTURE_H

#include <gtest/gtest.h>
#include <irrlicht.h>

#include <string>

#include "file_fixtures.h"
#include "defs/IQeEffectDef.h"

class DefsTest : public testing::Test {
protected:
    void SetUp() override {
        device = irr::createDevice(irr::video::EDT_NULL);
        ASSERT_NE(device, nullptr);
        fs = device->getFileSystem();
    }
    void TearDown() override {
        if (loader) loader->drop();
        if (device) device->drop();
    }

    // Reads a file written with the given content; keeps the definition and the error text.
    IQeEffectDef* load(IQeEffectDefLoader* loader, const std::string& name, const std::string& content,
                       bool isOpenGL = false) {
        const std::string path = dir.write(name, content);
        return loadPath(loader, path, isOpenGL);
    }
    IQeEffectDef* loadPath(IQeEffectDefLoader* loader, const std::string& path, bool isOpenGL = false) {
        if (def) def->drop();
        error = "unset";
        def = loader->createEffectDef(fs, path.c_str(), isOpenGL, &error);
        return def;
    }
    ~DefsTest() override {
        if (def) def->drop();
    }

    IQeEffectDefLoader* loader = nullptr;  // set by the reader's test
    irr::IrrlichtDevice* device = nullptr;
    irr::io::IFileSystem* fs = nullptr;
    qetest::TempDir dir{"defs"};
    IQeEffectDef* def = nullptr;
    const irr::c8* error = nullptr;
};

#endif
