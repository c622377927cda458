// Net_Pooled: what the address entries and data buffers have in common, so that one
// Net_Release frees either kind. Despite the name nothing is pooled: acquire() allocates and
// Net_Release frees. Whoever holds the pointer owns the object; handing it to Net_TcpClient
// (connect, send) hands over the ownership too.
#pragma once

class Net_Pooled {
 public:
  virtual ~Net_Pooled() = default;

 protected:
  Net_Pooled() = default;
  Net_Pooled(const Net_Pooled&) = delete;
  Net_Pooled& operator=(const Net_Pooled&) = delete;
};

// Frees an object made by an acquire(); null is allowed and ignored. Always returns true.
bool Net_Release(Net_Pooled* object);
