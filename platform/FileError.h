// Causes of a file failure. Messages and stored texts carry these numbers,
// so they keep the values of the classic file-exception causes.
#pragma once

namespace corvina::platform {

enum FileErrorCause : unsigned {
  kFileErrorNone = 0,
  kFileErrorGeneric = 1,
  kFileErrorNotFound = 2,
  kFileErrorBadPath = 3,
  kFileErrorTooManyOpenFiles = 4,
  kFileErrorAccessDenied = 5,
  kFileErrorInvalidFile = 6,
  kFileErrorRemoveCurrentDir = 7,
  kFileErrorDirectoryFull = 8,
  kFileErrorBadSeek = 9,
  kFileErrorHardIo = 10,
  kFileErrorSharingViolation = 11,
  kFileErrorLockViolation = 12,
  kFileErrorDiskFull = 13,
  kFileErrorEndOfFile = 14,
};

// Maps an errno value onto a cause; unknown values are generic.
FileErrorCause FileErrorCauseFromErrno(int err);

// The user-visible text of a cause; numbers without a text are "Unspecified error".
const char* FileErrorText(unsigned cause);

}  // namespace corvina::platform
