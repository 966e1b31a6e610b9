// Events waiting for the broker, kept in a file so that neither an absent broker nor a restart
// of the program loses one: each is a JSON line, appended and synced before Push returns; a
// small state file beside it says how much of it has been delivered. Events keep their order
// and their sequence number ("seq"), which goes on across restarts.
#pragma once

#include <cstddef>
#include <deque>
#include <string>

class EventQueue {
  public:
    static constexpr std::size_t kCapacity = 10000;
    explicit EventQueue(std::size_t capacity = kCapacity) : capacity_(capacity) {}

    // Loads what `path` holds undelivered; creates its folder. False with why when it cannot.
    bool Open(const std::string& path, std::string* why);
    bool IsOpen() const { return !path_.empty(); }
    // Appends the event whose JSON members (without braces) are `members`, numbered; when the
    // queue is full the oldest is dropped and counted.
    bool Push(const std::string& members, std::string* why);
    bool Empty() const { return lines_.empty(); }
    std::size_t Size() const { return lines_.size(); }
    const std::string& Front() const { return lines_.front(); }
    // The front was delivered.
    void Pop();
    // Events dropped because the queue was full, since it was opened or last taken.
    long long TakeDropped();

  private:
    void WriteState() const;
    std::size_t capacity_;
    std::string path_;
    std::deque<std::string> lines_;
    long long delivered_ = 0;  // bytes of the file delivered
    long long nextSeq_ = 1;
    long long dropped_ = 0;
};
