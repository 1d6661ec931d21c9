// Catches what the program writes to its standard output while a capture lives: fd 1 goes to a file,
// which text() reads back (also from another thread while the capture is on).
#ifndef QIRN_TESTS_STDOUT_CAPTURE_H
#define QIRN_TESTS_STDOUT_CAPTURE_H

#include <fcntl.h>
#include <io.h>
#include <sys/stat.h>

#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>

namespace qetest {

class StdoutCapture {
public:
    explicit StdoutCapture(const std::string& path) : path_(path) {
        std::fflush(stdout);
        saved_ = _dup(1);
        const int fd = _open(path.c_str(), _O_CREAT | _O_TRUNC | _O_WRONLY, _S_IREAD | _S_IWRITE);
        _dup2(fd, 1);
        _close(fd);
    }
    ~StdoutCapture() {
        std::fflush(stdout);
        _dup2(saved_, 1);
        _close(saved_);
    }
    std::string text() const {
        std::ifstream in(path_);
        std::stringstream all;
        all << in.rdbuf();
        return all.str();
    }

private:
    std::string path_;
    int saved_;
};

}  // namespace qetest

#endif
