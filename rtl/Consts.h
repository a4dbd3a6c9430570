// The framework's message texts, each declared once. Messages that the program's string
// table carries have their resource number; LoadResString takes the text from the
// string table resource of the executable when it holds that number, and from the
// built-in text otherwise.
#pragma once

#include <string>
#include <string_view>

namespace rtl {

struct TResStringRec {
    int Identifier; // string table number, 0 for texts that have none
    std::string_view Text;
};

std::string LoadResString(const TResStringRec& rec);

// Replaces the lookup in the executable's string table (LoadStringA), for tests. Without
// an entry there, the built-in texts serve.
using TStringTableLookup = bool (*)(int identifier, std::string& text);
void SetStringTableLookup(TStringTableLookup lookup);

// Runtime library
inline constexpr TResStringRec SInvalidFormat{0,
                                              "Format '%s' invalid or incompatible with argument"};
inline constexpr TResStringRec SOperationAborted{0, "Operation aborted"};
inline constexpr TResStringRec SAbstractError{0, "Abstract Error"};
inline constexpr TResStringRec SAssignError{0, "Cannot assign a %s to a %s"};
inline constexpr TResStringRec SListIndexError{0, "List index out of bounds (%d)"};
inline constexpr TResStringRec SListCountError{0, "List count out of bounds (%d)"};
inline constexpr TResStringRec SListCapacityError{0, "List capacity out of bounds (%d)"};
inline constexpr TResStringRec SReadError{0, "Stream read error"};
inline constexpr TResStringRec SWriteError{0, "Stream write error"};
inline constexpr TResStringRec SMemoryStreamError{0, "Out of memory while expanding memory stream"};
inline constexpr TResStringRec SFCreateError{0, "Cannot create file \"%s\""};
inline constexpr TResStringRec SFOpenError{0, "Cannot open file \"%s\""};
inline constexpr TResStringRec SResNotFound{0, "Resource %s not found"};
inline constexpr TResStringRec SResourceWrite{0, "Can't write to a read-only resource stream"};

// Form streams and components
inline constexpr TResStringRec SInvalidImage{0, "Invalid stream format"};
inline constexpr TResStringRec SInvalidPropertyValue{0, "Invalid property value"};
inline constexpr TResStringRec SUnknownProperty{0, "Property %s does not exist"};
inline constexpr TResStringRec SInvalidPropertyPath{0, "Invalid property path"};
inline constexpr TResStringRec SReadOnlyProperty{0, "Property is read-only"};
inline constexpr TResStringRec SPropertyException{0, "Error reading %s%s%s: %s"};
inline constexpr TResStringRec SClassNotFound{0, "Class %s not found"};
inline constexpr TResStringRec SAncestorNotFound{0, "Ancestor for '%s' not found"};
inline constexpr TResStringRec SInvalidName{0, "''%s'' is not a valid component name"};
inline constexpr TResStringRec SDuplicateName{0, "A component named %s already exists"};
inline constexpr TResStringRec SDuplicateClass{0, "A class named %s already exists"};
inline constexpr TResStringRec SNoRegGroup{0, "%s not in a class registration group"};

// Graphics
inline constexpr TResStringRec SUnknownClipboardFormat{0, "Unsupported clipboard format"};
inline constexpr TResStringRec SUnknownExtension{0, "Unknown picture file extension (.%s)"};

// Numbered entries of the string table
inline constexpr TResStringRec SMCINil{65313, "No MCI device open"};
inline constexpr TResStringRec SMCIUnknownError{65314, "Unknown error code"};
inline constexpr TResStringRec SWindowClass{65376, "Error creating window class"};
inline constexpr TResStringRec SNoTimers{65385, "Not enough timers available"};
inline constexpr TResStringRec SException{65486, "Exception %s in module %s at %p.\r\n%s%s\r\n"};
inline constexpr TResStringRec SExceptTitle{65487, "Application Error"};

// Every numbered entry, for the resource script of the executable and for tests.
inline constexpr TResStringRec NumberedStrings[] = {SMCINil,   SMCIUnknownError, SWindowClass,
                                                    SNoTimers, SException,       SExceptTitle};

} // namespace rtl
