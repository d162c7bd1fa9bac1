#include "platform/FileError.h"

#include <cerrno>

namespace corvina::platform {

FileErrorCause FileErrorCauseFromErrno(int err) {
  switch (err) {
    case 0: return kFileErrorNone;
    case ENOENT: return kFileErrorNotFound;
    case ENOTDIR:
    case ENAMETOOLONG:
    case ELOOP: return kFileErrorBadPath;
    case EMFILE:
    case ENFILE: return kFileErrorTooManyOpenFiles;
    case EACCES:
    case EPERM:
    case EROFS:
    case EISDIR: return kFileErrorAccessDenied;
    case EBADF: return kFileErrorInvalidFile;
    case ESPIPE: return kFileErrorBadSeek;
    case EIO: return kFileErrorHardIo;
    case ETXTBSY: return kFileErrorSharingViolation;
    case ENOLCK:
    case EDEADLK: return kFileErrorLockViolation;
    case ENOSPC:
    case EDQUOT: return kFileErrorDiskFull;
    default: return kFileErrorGeneric;
  }
}

const char* FileErrorText(unsigned cause) {
  switch (cause) {
    case kFileErrorNone: return "No error occured";
    case kFileErrorNotFound: return "File not found";
    case kFileErrorBadPath: return "Invalid path";
    case kFileErrorTooManyOpenFiles: return "Too many open Files";
    case kFileErrorAccessDenied: return "Access denied";
    case kFileErrorInvalidFile: return "Invalid file handle";
    case kFileErrorRemoveCurrentDir: return "The current directory cannot be removed";
    case kFileErrorDirectoryFull: return "The directory is full";
    case kFileErrorBadSeek: return "Error setting file pointer";
    case kFileErrorHardIo: return "Hardware I/O error";
    case kFileErrorSharingViolation: return "Sharing violation";
    case kFileErrorLockViolation: return "Lock violation";
    case kFileErrorDiskFull: return "The disk is full";
    case kFileErrorEndOfFile: return "End-of-file";
    default: return "Unspecified error";
  }
}

}  // namespace corvina::platform
