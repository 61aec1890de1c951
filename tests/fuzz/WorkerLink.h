#pragma once

#include "FuzzPeer.h"

#include "worker/comThread.h"

#include <functional>
#include <vector>

// A comThread whose TCP master talks to a FuzzPeer on 127.0.0.1, opened once
// and reopened whenever the peer hung up or the master closed itself.
class WorkerLink
{
  public:
    WorkerLink();

    // Forgets what the worker learnt from the last input.
    void reset(int slaveAddress);
    // Runs one worker call with the replies scripted; returns what went over the wire.
    std::vector<FuzzPeer::Exchange> call(std::vector<PeerReply> replies, const std::function<void()> &work);

    FuzzPeer peer{Framing::Tcp}; // before the worker, so that it outlives the master
    comThread worker;

  private:
    void open();
};

// Register words of the FC 3 reply data in an exchange (after the byte count).
int16_t replyWord(const FuzzPeer::Exchange &exchange, int index);
