#pragma once
// A failure as the program reports it: a signed number and a description.
// HRESULTs keep their signed decimal value (0x800401F3 is -2147221005).
#include <cstdint>
#include <exception>
#include <string>

namespace marlet {

class Error : public std::exception {
public:
    Error(int32_t number, std::string description)
        : number_(number), description_(std::move(description)) {}
    int32_t number() const { return number_; }
    const std::string& description() const { return description_; }
    const char* what() const noexcept override { return description_.c_str(); }

private:
    int32_t number_;
    std::string description_;
};

// The classic run-time error numbers the program raises itself.
enum : int32_t {
    kErrInvalidProcedure = 5,    // "Invalid procedure call or argument"
    kErrOutOfMemory = 7,         // "Out of memory"
    kErrInternal = 51,           // "Internal error"
    kErrFileNotFound = 53,       // "File not found"
    kErrObjectNotSet = 91,       // "Object variable or With block variable not set"
    kErrObjectRequired = 424,    // "Object required"
    kErrClipboard = 521,         // "Can't open Clipboard"
};

constexpr int32_t kHrClassNotRegistered = -2147221005;  // 0x800401F3, "Invalid class string"
constexpr int32_t kHrModuleNotFound = -2147024770;      // 0x8007007E

// The failure that is being handled, as an Error: an Error as it is, running out
// of memory as 7, any other standard exception as 51 with its text. Call it only
// inside a catch block; anything that is not a standard exception goes on up.
Error caughtError();

// "number: description", the generic error text (the form the boxes show).
std::string genericErrorText(const Error& e);

// The number as support and Intuit's pages write it: an HRESULT (a negative
// number) in hex first, then in decimal, "0x80040422 (-2147220446)"; the
// program's own small numbers as they are, "53".
std::string errorNumberText(int32_t number);

// "0x80040422 (-2147220446): description": the set-up check and the log.
std::string supportErrorText(const Error& e);

}  // namespace marlet
