#include "host/base/pending_file.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "host/base/errors.h"
#include "host/base/messages.h"

namespace wertowik {

PendingFile::PendingFile(std::filesystem::path file, Target target)
    : file_(std::move(file)), temporary_(file_.string() + ".part-" + std::to_string(::getpid())) {
    struct stat info {};
    direct_ = target == Target::WriteIntoWhatIsNoFile && ::stat(file_.c_str(), &info) == 0 && !S_ISREG(info.st_mode);
    if (!direct_) {
        // Made here, and not through a link someone put in its place.
        const int fd = ::open(temporary_.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC | O_NOFOLLOW, 0666);
        if (fd < 0) {
            Fail(kExitCantCreate, errno);
        }
        ::close(fd);
    }
    out_.open(direct_ ? file_ : temporary_, std::ios::binary | std::ios::trunc);
    if (!out_) {
        Fail(kExitCantCreate, errno);
    }
}

PendingFile::~PendingFile() {
    if (!done_ && !direct_) {
        ::unlink(temporary_.c_str());
    }
}

void PendingFile::Close() {
    if (closed_) {
        return;
    }
    closed_ = true;
    errno = 0;
    out_.close();
    if (!out_) {
        Fail(kExitIoError, errno != 0 ? errno : EIO);
    }
}

void PendingFile::Commit() {
    Close();
    if (!direct_ && ::rename(temporary_.c_str(), file_.c_str()) != 0) {
        Fail(kExitCantCreate, errno);
    }
    done_ = true;
}

void PendingFile::Fail(int code, int error) const {
    if (WriteFailureCode(error) == kExitIoError) {
        code = kExitIoError;
    }
    throw HostError(code, Say("cannot write {1}: {2}", file_.string(), std::strerror(error)));
}

}  // namespace wertowik
