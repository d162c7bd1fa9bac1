// Every text the settings store shows, as printf formats.
#pragma once

namespace corvina::store_texts {

inline constexpr char kCaption[] = "Corvina";

// Kind words, in ObjectKind order.
inline constexpr const char* kKindWords[] = {"session profile", "keyboard map", "macro", "color scheme", "toolbar"};

inline constexpr char kDeleteQuestion[] = "Are you sure you want to delete the %s '%s'?";
inline constexpr char kCantDeleteActive[] = "Can't delete an active session!";
// Followed by the cause text.
inline constexpr char kUnableToDelete[] = "Unable to delete file %s: ";

// An object file others could have written (path, cause): it is not loaded.
inline constexpr char kUntrustedFile[] = "The file %s is not loaded: %s.";

// Followed by the cause text.
inline constexpr char kFileOpenFailure[] = "%s file open failure: ";
inline constexpr char kArchiveException[] = "CArchiveException thrown loading %s: ";

inline constexpr char kUnableToSaveSettings[] = "Unable to save settings in file %s.";
// Kind word, object name, file path; followed by a line with the reason.
inline constexpr char kUnableToSaveObject[] = "Unable to save the %s '%s' in file %s.";

// Causes of an archive error.
inline constexpr char kArchiveEndOfFile[] = "the file ends in the middle of a value";
inline constexpr char kArchiveTooLarge[] = "the file is larger than %zu bytes";
inline constexpr char kArchiveBadVersion[] = "the version number is not valid";
inline constexpr char kArchiveBadClassTag[] = "an object refers to a class that was never named";
inline constexpr char kArchiveBadObjectTag[] = "an object refers to an object that was never read";
inline constexpr char kArchiveBadClassName[] = "a class name is empty or longer than 64 characters";
inline constexpr char kArchiveUnknownClass[] = "objects of class %s cannot be read";
inline constexpr char kArchiveUnknownBlock[] = "unknown object block \"%s\"";
inline constexpr char kArchiveWrongBlock[] = "a %s block holds an object of class %s";
inline constexpr char kArchiveTooOld[] = "settings of version %.2f are too old to convert";

// Save As of every kind of object ("%s" of the title takes the product name).
inline constexpr char kSaveAsTitle[] = "Save As - %s";
inline constexpr char kTypeAName[] = "Please type a name for the item you want to save.";
inline constexpr char kNameExists[] = "That name already exists, please choose another.";
inline constexpr char kFileExists[] = "File \"%s\" already exists, please choose another name.";

// The Colors page.
inline constexpr char kSaveSchemeChanges[] = "Save changes to %s color scheme?";
inline constexpr char kCantDeleteDefaultScheme[] = "Can't delete the default color scheme";
inline constexpr char kSelectColorScheme[] = "Please select a color scheme";

}  // namespace corvina::store_texts
