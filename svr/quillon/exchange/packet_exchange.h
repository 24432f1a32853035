#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <string>

// The packet exchange with the control program over the request queue (102)
// and the reply queue (103), on one detached thread.

inline constexpr std::size_t kExchangeWorkSize = 8192;
inline constexpr std::size_t kTextReplyMax = 2048;
// Parameter bytes a command packet can hold.
inline constexpr std::uint16_t kMaxRequestLength = 2049;

// Puts a text reply at byte 7 of packet: at most 2048 bytes, then a NUL.
void putTextReply(std::uint8_t* packet, const std::string& reply);

// Turns the request in work (kExchangeWorkSize bytes, the received body
// first) into its reply in place: a text command is answered by the parser;
// any other packet goes through the core's mailbox once a core is registered,
// all within 2 s of arrival. False when it got no reply: the request then
// stays, its length raised by 2, and is sent back marked failed.
bool answerRequest(std::uint8_t* work, std::chrono::steady_clock::time_point arrival);

// The thread function; never returns.
void packetExchangeProcess();
