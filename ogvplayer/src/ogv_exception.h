#pragma once
// OgvException: what the video library throws when a file cannot be played.
//   OgvException(message, sourceFile, line)  keeps the source path after "src/"
//   getErrorText()                           "[file:line] - message"
//   getMessage()                             the message alone
#include <string>

class OgvException {
public:
    OgvException(std::string message, const std::string& sourceFile, int line);
    virtual ~OgvException() = default;

    virtual std::string getErrorText() const;
    virtual std::string getMessage() const { return message_; }

private:
    std::string message_;
    std::string file_;
    int line_ = 0;
};
