#pragma once

#include <QByteArray>

#include <array>
#include <cstdint>
#include <list>
#include <optional>
#include <utility>
#include <vector>

// The pending command frames, at most one per command id. Iteration follows a hash
// table of 17 buckets whose hash is the id shifted right by four bits, each bucket
// taking new entries at its head: ids below 16 share the first bucket, so the first
// pending task is the one queued most recently.
class TaskTable {
public:
    // Replaces any frame of the id; the new entry goes to the head of its bucket.
    void Insert(std::uint16_t id, QByteArray frame);
    bool Remove(std::uint16_t id);
    void Clear();

    const QByteArray* Find(std::uint16_t id) const;
    bool Contains(std::uint16_t id) const { return Find(id) != nullptr; }
    std::optional<std::uint16_t> First() const;
    std::vector<std::uint16_t> Ids() const; // in iteration order
    std::size_t Size() const { return size_; }
    bool Empty() const { return size_ == 0; }

private:
    static constexpr std::size_t kBuckets = 17;
    using Bucket = std::list<std::pair<std::uint16_t, QByteArray>>;

    static std::size_t BucketOf(std::uint16_t id) { return (id >> 4) % kBuckets; }

    std::array<Bucket, kBuckets> buckets_;
    std::size_t size_ = 0;
};
