#pragma once

namespace mail {

// Why a connection to a mail server ended before its exchange was done.
enum class LinkProblem {
    None,
    Unreachable, // no connection, or nothing from the server within the connection time-out
    Untrusted,   // TLS could not be set up or the certificate is not trusted
    Closed,      // the connection was lost
    Stalled,     // nothing moved in either direction for the stall limit
    Deadline,    // the whole exchange passed its deadline
};

} // namespace mail
