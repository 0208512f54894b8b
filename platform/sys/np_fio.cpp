#include "np_fio.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <new>
#include <vector>

struct NpFioFile {
    FILE* fp = nullptr;
};

struct NpFioLock {
    int fd = -1;
};

namespace {

unsigned fromErrno(int e) {
    switch (e) {
        case 0: return NP_FIO_OK;
        case EACCES:
        case EPERM:
        case EROFS: return NP_FIO_EACCES;
        case ENOENT: return NP_FIO_ENOENT;
        case EEXIST: return NP_FIO_EEXIST;
        case ENOTDIR: return NP_FIO_ENOTDIR;
        case EISDIR: return NP_FIO_EISDIR;
        case ENOSPC:
        case EDQUOT: return NP_FIO_ENOSPC;
        case EIO: return NP_FIO_EIO;
        case EINVAL: return NP_FIO_EINVAL;
        case ENAMETOOLONG: return NP_FIO_ETOOLONG;
        default: return NP_FIO_EGENERIC;
    }
}

const char* modeText(int mode) {
    switch (mode) {
        case NP_FIO_WRITE:
        case NP_FIO_NEWTEXT: return "wb";
        case NP_FIO_APPEND: return "ab";
        case NP_FIO_READ: return "rb";
        default: return nullptr;
    }
}

}  // namespace

unsigned np_fio_stat(const char* path, int) {
    if (!path || !*path) return NP_FIO_EINVAL;
    struct stat st {};
    if (stat(path, &st) != 0) return fromErrno(errno);
    return NP_FIO_OK;
}

unsigned np_fio_open(const char* path, int mode, NpFioFile** out) {
    if (!out) return NP_FIO_EINVAL;
    *out = nullptr;
    const char* m = modeText(mode);
    if (!path || !*path || !m) return NP_FIO_EINVAL;
    FILE* fp = std::fopen(path, m);
    if (!fp) return fromErrno(errno);
    *out = new NpFioFile{fp};
    return NP_FIO_OK;
}

int np_fio_puts(NpFioFile* file, const char* text) {
    if (!file || !file->fp || !text) return -1;
    size_t n = std::strlen(text);
    if (std::fwrite(text, 1, n, file->fp) != n) return -1;
    return static_cast<int>(n);
}

unsigned np_fio_close(NpFioFile* file) {
    if (!file) return NP_FIO_EINVAL;
    unsigned rc = NP_FIO_OK;
    if (file->fp) {
        // A failed flush is a failed write: report it rather than lose data quietly.
        if (std::fflush(file->fp) != 0) rc = fromErrno(errno);
        if (rc == NP_FIO_OK && fsync(fileno(file->fp)) != 0 && errno != EINVAL) rc = fromErrno(errno);
        if (std::fclose(file->fp) != 0 && rc == NP_FIO_OK) rc = fromErrno(errno);
    }
    delete file;
    return rc;
}

unsigned np_fio_rename(const char* from, const char* to) {
    if (!from || !to) return NP_FIO_EINVAL;
    return std::rename(from, to) == 0 ? static_cast<unsigned>(NP_FIO_OK) : fromErrno(errno);
}

unsigned np_fio_unlink(const char* path) {
    if (!path) return NP_FIO_EINVAL;
    return ::unlink(path) == 0 ? static_cast<unsigned>(NP_FIO_OK) : fromErrno(errno);
}

unsigned np_fio_pcat(char* buf, size_t size, const char* directory, const char* name) {
    if (!buf || size == 0 || !name) return NP_FIO_EINVAL;
    std::string d = directory ? directory : "";
    std::string r = d.empty() ? name : (d.back() == '/' ? d + name : d + "/" + name);
    if (r.size() + 1 > size) {
        buf[0] = '\0';
        return NP_FIO_ETOOLONG;
    }
    std::memcpy(buf, r.c_str(), r.size() + 1);
    return NP_FIO_OK;
}

const char* np_fio_errdesc(unsigned code) {
    switch (code) {
        case NP_FIO_OK: return "No error";
        case NP_FIO_EACCES: return "Permission denied";
        case NP_FIO_ENOENT: return "No such file or directory";
        case NP_FIO_EEXIST: return "File exists";
        case NP_FIO_ENOTDIR: return "Not a directory";
        case NP_FIO_EISDIR: return "Is a directory";
        case NP_FIO_ENOSPC: return "No space left on device";
        case NP_FIO_EIO: return "Input/output error";
        case NP_FIO_EINVAL: return "Invalid argument";
        case NP_FIO_ETOOLONG: return "Path too long";
        default: return "File operation failed";
    }
}

unsigned np_fio_text_open(const char* path, int mode, NpFioFile** out) { return np_fio_open(path, mode, out); }

int np_fio_text_write(NpFioFile* file, const char* text, int length) {
    if (!file || !file->fp || !text) return -1;
    size_t n = length < 0 ? std::strlen(text) : static_cast<size_t>(length);
    if (std::fwrite(text, 1, n, file->fp) != n) return -1;
    return static_cast<int>(n);
}

unsigned np_fio_text_close(NpFioFile* file) { return np_fio_close(file); }

unsigned np_fio_read_all(const char* path, std::string* out) {
    if (!path || !out) return NP_FIO_EINVAL;
    FILE* fp = std::fopen(path, "rb");
    if (!fp) return fromErrno(errno);
    out->clear();
    char buf[65536];
    size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, fp)) > 0) out->append(buf, n);
    bool bad = std::ferror(fp) != 0;
    std::fclose(fp);
    return bad ? NP_FIO_EIO : NP_FIO_OK;
}

unsigned np_fio_permissions(const char* path, unsigned* permissions) {
    if (!path || !*path || !permissions) return NP_FIO_EINVAL;
    struct stat st {};
    if (stat(path, &st) != 0) return fromErrno(errno);
    *permissions = st.st_mode & 0777;
    return NP_FIO_OK;
}

unsigned np_fio_text_open_unique(const char* prefix, unsigned permissions, NpFioFile** out, std::string* path) {
    if (!out || !path) return NP_FIO_EINVAL;
    *out = nullptr;
    if (!prefix || !*prefix) return NP_FIO_EINVAL;
    std::string name = std::string(prefix) + "XXXXXX";
    std::vector<char> buf(name.begin(), name.end());
    buf.push_back('\0');
    int fd = mkostemp(buf.data(), O_CLOEXEC);
    if (fd < 0) return fromErrno(errno);
    unsigned rc = NP_FIO_OK;
    FILE* fp = nullptr;
    if (fchmod(fd, permissions & 0777) != 0 || !(fp = fdopen(fd, "wb"))) rc = fromErrno(errno);
    NpFioFile* file = fp ? new (std::nothrow) NpFioFile{fp} : nullptr;
    if (!file) {
        if (rc == NP_FIO_OK) rc = NP_FIO_EGENERIC;
        if (fp)
            std::fclose(fp);
        else
            ::close(fd);
        ::unlink(buf.data());
        return rc;
    }
    *path = buf.data();
    *out = file;
    return NP_FIO_OK;
}

unsigned np_fio_lock(const char* path, NpFioLock** out) {
    if (!out) return NP_FIO_EINVAL;
    *out = nullptr;
    if (!path || !*path) return NP_FIO_EINVAL;
    int fd = ::open(path, O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (fd < 0) return fromErrno(errno);
    // flock, not fcntl: its locks belong to the open file, so threads of one process exclude
    // each other too.
    int r;
    while ((r = flock(fd, LOCK_EX)) != 0 && errno == EINTR) {
    }
    NpFioLock* lock = r == 0 ? new (std::nothrow) NpFioLock{fd} : nullptr;
    if (!lock) {
        unsigned rc = r == 0 ? static_cast<unsigned>(NP_FIO_EGENERIC) : fromErrno(errno);
        ::close(fd);
        return rc;
    }
    *out = lock;
    return NP_FIO_OK;
}

void np_fio_unlock(NpFioLock* lock) {
    if (!lock) return;
    // Closing the only descriptor of the open file releases its lock.
    ::close(lock->fd);
    delete lock;
}
