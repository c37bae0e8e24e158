#include "link/TaskTable.h"

void TaskTable::Insert(std::uint16_t id, QByteArray frame) {
    Remove(id);
    buckets_[BucketOf(id)].emplace_front(id, std::move(frame));
    ++size_;
}

bool TaskTable::Remove(std::uint16_t id) {
    Bucket& bucket = buckets_[BucketOf(id)];
    for (auto it = bucket.begin(); it != bucket.end(); ++it) {
        if (it->first == id) {
            bucket.erase(it);
            --size_;
            return true;
        }
    }
    return false;
}

void TaskTable::Clear() {
    for (Bucket& bucket : buckets_)
        bucket.clear();
    size_ = 0;
}

const QByteArray* TaskTable::Find(std::uint16_t id) const {
    for (const auto& [key, frame] : buckets_[BucketOf(id)]) {
        if (key == id)
            return &frame;
    }
    return nullptr;
}

std::optional<std::uint16_t> TaskTable::First() const {
    for (const Bucket& bucket : buckets_) {
        if (!bucket.empty())
            return bucket.front().first;
    }
    return std::nullopt;
}

std::vector<std::uint16_t> TaskTable::Ids() const {
    std::vector<std::uint16_t> ids;
    for (const Bucket& bucket : buckets_) {
        for (const auto& entry : bucket)
            ids.push_back(entry.first);
    }
    return ids;
}
