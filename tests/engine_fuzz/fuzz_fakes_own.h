// What the engine stand-ins really do for the loaders under test: the scene manager hands out the driver,
// the file system and a real mesh manipulator; no texture file exists, so none is ever loaded.
#ifdef QE_FAKE_FAKESCENE
    FakeScene(video::IVideoDriver* driver, io::IFileSystem* files, IMeshManipulator* manipulator)
        : Driver(driver), Files(files), Manipulator(manipulator) {}
    video::IVideoDriver* getVideoDriver() override { return Driver; }
    io::IFileSystem* getFileSystem() override { return Files; }
    IMeshManipulator* getMeshManipulator() override { return Manipulator; }
    video::IVideoDriver* Driver;
    io::IFileSystem* Files;
    IMeshManipulator* Manipulator;
#endif
#ifdef QE_FAKE_FAKEDRIVER
    ITexture* getTexture(const io::path&) override { return 0; }
    ITexture* getTexture(io::IReadFile*) override { return 0; }
#endif
#ifdef QE_FAKE_FAKEFILES
    // Any name opens the current input.
    FakeFiles(const void* data = 0, long size = 0) : Data(data), Size(size) {}
    bool existFile(const path&) const override { return false; }
    path getFileDir(const path&) const override { return "."; }
    path getFileBasename(const path& filename, bool) const override { return filename; }
    path getAbsolutePath(const path& filename) const override { return filename; }
    IReadFile* createAndOpenFile(const path& filename) override {
        return ::irr::io::createMemoryReadFile(const_cast<void*>(Data), Size, filename, false);
    }
    IXMLReaderUTF8* createXMLReaderUTF8(IReadFile* file) override { return createIXMLReaderUTF8(file); }
    IXMLReaderUTF8* createXMLReaderUTF8(const path& filename) override {
        IReadFile* file = createAndOpenFile(filename);
        IXMLReaderUTF8* reader = createIXMLReaderUTF8(file);
        file->drop();
        return reader;
    }
    const void* Data;
    long Size;
#endif
