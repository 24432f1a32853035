// The kernel's log queues in a fresh IPC namespace: information lines on the
// queues of channels 8 and 9 as 2048-byte type 1 messages, none on 10 and 11,
// the queue byte limit, and a full queue dropping lines without waiting.
#include <sys/ipc.h>
#include <sys/msg.h>

#include <cstring>
#include <string>

#include <gtest/gtest.h>

#include "common/kernel/algs_logs.h"

namespace {

struct LogMessage {
  long type;
  char text[kAlgsLogTextSize];
};

int queueOf(int channel) { return msgget(ftok("/root/", channel), 0); }

// Takes one message without waiting; its size, or -1.
ssize_t takeMessage(int queue, LogMessage& message) {
  std::memset(&message, 0x55, sizeof message);
  return msgrcv(queue, &message, sizeof message.text, 0, IPC_NOWAIT);
}

std::size_t waiting(int queue) {
  struct msqid_ds attributes;
  if (msgctl(queue, IPC_STAT, &attributes) != 0) return 0;
  return attributes.msg_qnum;
}

}  // namespace

TEST(AlgsLogs, InformationLinesReachChannels8And9) {
  AlgsLogs::Instance().Open();
  for (int k = 0; k < kAlgsLogSlots; ++k) ASSERT_NE(AlgsLogs::Instance().QueueId(k), -1) << "slot " << k;

  const std::string longText(400, 'x');
  ALGS_INFO("algs/src/common/command", "speed %d %s", 50, longText.c_str());

  for (int channel : {8, 9}) {
    SCOPED_TRACE(channel);
    const int queue = queueOf(channel);
    ASSERT_NE(queue, -1);
    struct msqid_ds attributes;
    ASSERT_EQ(msgctl(queue, IPC_STAT, &attributes), 0);
    EXPECT_EQ(attributes.msg_qbytes, static_cast<msglen_t>(kAlgsLogQueueBytes));

    LogMessage message;
    ASSERT_EQ(takeMessage(queue, message), kAlgsLogTextSize);
    EXPECT_EQ(message.type, 1);
    const std::string text(message.text, strnlen(message.text, sizeof message.text));
    EXPECT_EQ(text.rfind("[INFO][algs/src/common/command@TestBody()#", 0), 0u) << text;
    EXPECT_NE(text.find("] speed 50 xxx"), std::string::npos) << text;
    EXPECT_EQ(text.size(), static_cast<std::size_t>(kAlgsInfoMaxChars));
    for (std::size_t i = text.size(); i < sizeof message.text; ++i) ASSERT_EQ(message.text[i], 0) << "byte " << i;
  }
  for (int channel : {10, 11}) EXPECT_EQ(waiting(queueOf(channel)), 0u) << "channel " << channel;
}

TEST(AlgsLogs, FullQueueDropsLinesWithoutWaiting) {
  AlgsLogs::Instance().Open();
  const int perQueue = kAlgsLogQueueBytes / kAlgsLogTextSize;
  for (int i = 0; i < perQueue + 3; ++i) ALGS_INFO("algs/src/common/command", "line %d", i);
  const int queue = queueOf(8);
  EXPECT_EQ(waiting(queue), static_cast<std::size_t>(perQueue));
  LogMessage message;
  ASSERT_EQ(takeMessage(queue, message), kAlgsLogTextSize);
  EXPECT_NE(std::string(message.text).find("] line 0"), std::string::npos) << message.text;
}
