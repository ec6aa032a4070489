#pragma once

#include <string_view>

#include <httplib.h>

// Broken answers on demand, written straight over the connection: a notify
// request asks for one with the token directive "fault=NAME", a fetch with the
// route /fault/NAME. The names:
//   reset_after_head    a 200 head, then the connection reset
//   reset_mid_body      a 200 head and 1000 body bytes of 100000, then a reset
//   garbage_status      a line that is no HTTP status line, then the close
//   trickled_head       a head sent a byte every 100 ms, never ending
//   trickled_body       a 200 head, then the body a byte every 100 ms
//   endless_body        a 200 head and a chunked body that never ends
//   close_before_body   the connection closed before the request body is read
//   huge_head           a 200 answer with 1 MiB of header lines, body "ok"
//   refused_large_body  a 401 answer with a 1 MB body
//   drip                a 200 head, then 1,100 body bytes every two thirds of
//                       the library's timeout period, never ending: enough to
//                       count as progress, too slow ever to end
// Each gives up when the client leaves, or after a minute.
namespace pushnote::stand_in {

// True for an item "fault=NAME" of the token's directives that names a fault.
bool IsFaultDirective(std::string_view item);

// Answers the fault that the request's token asks for, if any, and only
// close_before_body before the body is read, the others after. True when
// the request was taken over: the server's own answer then finds the
// connection gone and sends nothing.
bool ServeFaultBeforeBody(const httplib::Request& request);
bool ServeFaultAfterBody(const httplib::Request& request);

// The /fault/NAME route: NAME is the first match.
void AnswerFault(const httplib::Request& request, httplib::Response& response);

}  // namespace pushnote::stand_in
