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
    kErrFileNotFound = 53,       // "File not found"
    kErrObjectRequired = 424,    // "Object required"
    kErrInvalidProcedure = 5,    // "Invalid procedure call or argument"
};

constexpr int32_t kHrClassNotRegistered = -2147221005;  // 0x800401F3
constexpr int32_t kHrModuleNotFound = -2147024770;      // 0x8007007E

// "number: description", the generic error text.
std::string genericErrorText(const Error& e);

}  // namespace marlet
