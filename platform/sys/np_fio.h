// File services. Results are error codes: 0 success, otherwise one of NP_FIO_*.
#ifndef NP_FIO_H
#define NP_FIO_H

#include <cstddef>
#include <string>

enum NpFioError {
    NP_FIO_OK = 0,
    NP_FIO_EGENERIC = 1,    // any other failure of the operating system
    NP_FIO_EACCES = 2,      // permission denied
    NP_FIO_ENOENT = 3,      // no such file or directory
    NP_FIO_EEXIST = 4,      // file exists
    NP_FIO_ENOTDIR = 5,     // a part of the path is not a directory
    NP_FIO_EISDIR = 6,      // is a directory
    NP_FIO_ENOSPC = 7,      // no space left
    NP_FIO_EIO = 8,         // input/output error
    NP_FIO_EINVAL = 9,      // bad argument
    NP_FIO_ETOOLONG = 10,   // path does not fit the buffer
};

// Open modes.
enum NpFioMode {
    NP_FIO_WRITE = 70,      // create or truncate, write
    NP_FIO_APPEND = 65,     // create or append
    NP_FIO_READ = 82,       // read
    NP_FIO_NEWTEXT = 78,    // create or truncate a text file, write
};

struct NpFioFile;

// Status of a path: 0 exists, NP_FIO_ENOENT when it does not, another code on failure.
unsigned np_fio_stat(const char* path, int flags);
unsigned np_fio_open(const char* path, int mode, NpFioFile** out);
// Writes the text; the number of bytes written, or -1.
int np_fio_puts(NpFioFile* file, const char* text);
// Closes the file; 0 or the code of a failed flush.
unsigned np_fio_close(NpFioFile* file);
unsigned np_fio_rename(const char* from, const char* to);
unsigned np_fio_unlink(const char* path);
// Joins directory and name into buf; NP_FIO_ETOOLONG when it does not fit.
unsigned np_fio_pcat(char* buf, size_t size, const char* directory, const char* name);
// The text of an error code.
const char* np_fio_errdesc(unsigned code);

unsigned np_fio_text_open(const char* path, int mode, NpFioFile** out);
// Writes length bytes of text (the whole text for -1); bytes written or -1.
int np_fio_text_write(NpFioFile* file, const char* text, int length);
unsigned np_fio_text_close(NpFioFile* file);

// Reads a whole file into out; 0 or an error code.
unsigned np_fio_read_all(const char* path, std::string* out);

// The permission bits (the 0777 part of the mode) of an existing path.
unsigned np_fio_permissions(const char* path, unsigned* permissions);
// Creates a new text file named prefix and six unique characters, with the given permission bits
// (whatever the umask), open for writing; its name in *path.
unsigned np_fio_text_open_unique(const char* prefix, unsigned permissions, NpFioFile** out, std::string* path);

// An exclusive lock on a lock file, which is created (owner only) when missing and stays. Two
// locks on one file exclude each other whether they are taken by two processes or by two threads
// of one; a process that ends loses its locks.
struct NpFioLock;
// Waits until the lock is free and takes it.
unsigned np_fio_lock(const char* path, NpFioLock** out);
void np_fio_unlock(NpFioLock* lock);

#endif
