#pragma once

// Internal to the mail library: ownership of GMime objects, so that every path out of a function
// releases what it made. Included by implementation files only.

#include <gmime/gmime.h>

#include <memory>
#include <string>
#include <string_view>

struct GObjectRelease {
    void operator()(gpointer object) const
    {
        if (object)
            g_object_unref(object);
    }
};

template <typename T>
using GObjectPtr = std::unique_ptr<T, GObjectRelease>;

// A parse kept from one step of the library for the next (decoding, then the attachment step).
struct ParsedMessage {
    GObjectPtr<GMimeMessage> message;
};

namespace GMimeHandles {

// A parsed message, or null when GMime finds none.
GObjectPtr<GMimeMessage> parseMessage(std::string_view raw);

// The bytes of a leaf part with its transfer encoding removed.
std::string decodedContent(GMimePart* part);

// The bytes of a leaf part as they stand in the message, transfer encoding and all.
std::string encodedContent(GMimePart* part);

// The object written out as it stands (a forwarded message kept as a file).
std::string serialized(GMimeObject* object);

// The raw value of a header of the object, or empty.
std::string rawHeader(GMimeObject* object, const char* name);

} // namespace GMimeHandles
