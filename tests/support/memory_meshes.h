// A null-driver engine whose scene manager loads meshes from bytes in memory, for the mesh loader tests.
#ifndef QIRN_TESTS_MEMORY_MESHES_H
#define QIRN_TESTS_MEMORY_MESHES_H

#include <gtest/gtest.h>
#include <irrlicht.h>

#include <cstdio>
#include <list>
#include <string>

namespace qetest {

class MemoryMeshes : public testing::Test {
protected:
    explicit MemoryMeshes(const char* extension) : extension_(extension) {}
    ~MemoryMeshes() override { device->drop(); }

    // Loads bytes as a file of a name not used before (so that the mesh cache never answers); keeps what
    // the loader printed.
    irr::scene::IAnimatedMesh* load(const std::string& bytes, std::string* printedOut = nullptr) {
        static int serial = 0;
        const std::string name = "mem" + std::to_string(++serial) + extension_;
        // The memory file reads from a copy that lives as long as the test.
        buffers_.push_back(bytes);
        irr::io::IReadFile* file = device->getFileSystem()->createMemoryReadFile(
            &buffers_.back()[0], static_cast<irr::s32>(bytes.size()), name.c_str(), false);
        testing::internal::CaptureStdout();
        irr::scene::IAnimatedMesh* mesh = smgr->getMesh(file);
        std::fflush(stdout);
        printed = testing::internal::GetCapturedStdout();
        if (printedOut) *printedOut = printed;
        file->drop();
        return mesh;
    }

    irr::IrrlichtDevice* device = irr::createDevice(irr::video::EDT_NULL, irr::core::dimension2du(64, 64));
    irr::scene::ISceneManager* smgr = device->getSceneManager();
    std::string printed;  // what the last load printed

private:
    const char* extension_;
    std::list<std::string> buffers_;
};

}  // namespace qetest

#endif
