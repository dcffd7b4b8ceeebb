#pragma once

// Values of the reply envelope's `status`.
namespace status {
constexpr int Ok = 0;
constexpr int NoData = 100900000; // an empty result the client handles itself
constexpr int Internal = -1; // the client shows its own apology text
constexpr int Failed = 1; // wrong login or a refused operation
constexpr int BadRequest = 400; // the body is not what the path expects
constexpr int NotLoggedIn = 401; // missing or expired loginToken
constexpr int Forbidden = 403; // belongs to another teacher
constexpr int NotFound = 404; // no such object (or not the caller's)
constexpr int Conflict = 409; // duplicate name
} // namespace status
