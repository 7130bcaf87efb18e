#include "crypto/Random.h"

#include <climits>
#include <openssl/rand.h>

std::optional<std::string> RandomBytes(std::size_t count) {
    if (count > INT_MAX)
        return std::nullopt;
    std::string out(count, '\0');
    if (count > 0 && RAND_bytes(reinterpret_cast<unsigned char *>(out.data()), static_cast<int>(count)) != 1)
        return std::nullopt;
    return out;
}
