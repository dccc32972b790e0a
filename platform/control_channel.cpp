// The request line of the control channel, shared by both platforms' servers.
#include "platform/control_channel.h"

#include <algorithm>

namespace zelmo {

// Appends up to the first line end; past the limit the line is dropped, never grown.
bool ControlRequestReader::add(const char* data, std::size_t size) {
    for (std::size_t i = 0; i < size && !complete_; ++i) {
        if (data[i] == '\n') {
            complete_ = true;
        } else if (line_.size() >= kMaxControlRequest) {
            tooLong_ = complete_ = true;
            line_.clear();
        } else {
            line_ += data[i];
        }
    }
    // A client that ends its line with CR LF, as Windows tools do.
    if (complete_ && !line_.empty() && line_.back() == '\r') line_.pop_back();
    return complete_;
}

namespace {

// An answer larger than this is not one a monitor sends: the frame is bad.
constexpr std::size_t kMaxControlAnswer = 16u << 20;

}  // namespace

// Length, line end, bytes.
std::string frameControlAnswer(const std::string& answer) {
    return std::to_string(answer.size()) + "\n" + answer;
}

// Reads the decimal length first, then exactly that many bytes; anything else makes it bad.
bool ControlAnswerReader::add(const char* data, std::size_t size) {
    for (std::size_t i = 0; i < size && !complete_; ++i) {
        const char c = data[i];
        if (lengthRead_) {
            const std::size_t take = std::min(size - i, expected_ - answer_.size());
            answer_.append(data + i, take);
            i += take - 1;
        } else if (c == '\n' && !answer_.empty()) {
            expected_ = std::stoul(answer_);
            answer_.clear();
            lengthRead_ = true;
        } else if (c < '0' || c > '9' || answer_.size() >= 9) {
            bad_ = complete_ = true;
        } else {
            answer_ += c;
        }
        if (lengthRead_ && answer_.size() == expected_) complete_ = true;
        if (lengthRead_ && expected_ > kMaxControlAnswer) bad_ = complete_ = true;
    }
    return complete_;
}

}  // namespace zelmo
