#include "serve/client_connection.h"

#include <unistd.h>

namespace nocturnia::serve {

ClientConnection::~ClientConnection() { close(socket); }

bool ClientConnection::HeadComplete(std::size_t searched) const
{
    // The blank line may straddle what was searched and what came since.
    const std::size_t from = searched >= 3 ? searched - 3 : 0;
    return input.find("\r\n\r\n", from) != std::string::npos;
}

}  // namespace nocturnia::serve
