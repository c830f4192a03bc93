// A variable set for the length of a scope: its former value comes back when the scope ends,
// also when an error code travels through.
#ifndef TNX_SCOPED_VALUE_H
#define TNX_SCOPED_VALUE_H

template <class T>
class ScopedValue {
public:
    ScopedValue(T& variable, T during) : ref_(variable), saved_(variable) { ref_ = during; }
    ~ScopedValue() { ref_ = saved_; }
    ScopedValue(const ScopedValue&) = delete;
    ScopedValue& operator=(const ScopedValue&) = delete;

private:
    T& ref_;
    T saved_;
};

#endif
