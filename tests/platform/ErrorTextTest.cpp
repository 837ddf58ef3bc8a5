#include "platform/ErrorText.h"

#include <gtest/gtest.h>

using namespace quill;

TEST(ErrorText, showsNulBytesAndEndsWithAFullStopAfterLaterCharacters)
{
    struct Case {
        std::string message, shown;
    };
    const Case cases[] = {
        {"I/O error 5", "I/O error 5."},
        {"Ends in a full stop.", "Ends in a full stop."},
        {"Ends in a blank ", "Ends in a blank "},
        {"", ""},
        // a NUL quoted from the input shows, and the text after it stays
        {std::string("Invalid URL encoded character (%\0A) at position 1", 49),
         "Invalid URL encoded character (%\\0A) at position 1."},
        {std::string("\0", 1), "\\0."},
    };
    for (const Case& c : cases)
        EXPECT_EQ(errorBoxText(c.message), c.shown) << c.shown;
}
