// Remembering the last answer of a computation together with the exact
// inputs it came from, for values a frame asks for again and again while
// their inputs change once a second, once a day or when new data arrives.
#pragma once

#include <string>
#include <type_traits>
#include <utility>

namespace nbr {

// The inputs of a computation as bytes: numbers bit for bit (a NaN matches
// itself, 0.0 and -0.0 stay apart), texts with their length.
class InputKey {
public:
    InputKey() = default;
    template <class... Ts>
    explicit InputKey(const Ts&... values) {
        (add(values), ...);
    }

    template <class T>
        requires(std::is_integral_v<T> || std::is_enum_v<T> || std::is_same_v<T, double> || std::is_same_v<T, float>)
    InputKey& add(T value) {
        bytes_.append(reinterpret_cast<const char*>(&value), sizeof value);
        return *this;
    }
    InputKey& add(const std::string& text) {
        add(text.size());
        bytes_ += text;
        return *this;
    }

    bool operator==(const InputKey&) const = default;

private:
    std::string bytes_;
};

template <class Value>
class LastAnswer {
public:
    // The remembered value when `key` equals the last call's, otherwise
    // compute() (called with no arguments), remembered.
    template <class F>
    const Value& get(InputKey key, F&& compute) {
        if (!known_ || key != key_) {
            value_ = compute();
            key_ = std::move(key);
            known_ = true;
        }
        return value_;
    }

private:
    InputKey key_;
    Value value_{};
    bool known_ = false;
};

}  // namespace nbr
