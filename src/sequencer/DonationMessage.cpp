#include "sequencer/DonationMessage.h"

#include "runtime/MessageBox.h"

namespace lark {

std::string DonationMessage() {
    std::string text = "Thanks for listening to this larkspool.";
    text += EndOfLine;
    text += "If you enjoyed it and would like to make a donation of 49p (£0.49) then please visit";
    text += EndOfLine;
    text += "larkspool.example.org/qvweb/qvpayment.html";
    text += EndOfLine;
    text += "Thank you.";
    return text;
}

}  // namespace lark
