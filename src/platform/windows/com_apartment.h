// COM for the life of an object: a single-threaded apartment on the thread that creates it.
#pragma once

namespace vintrel {

class ComApartment {
 public:
  // Raises when COM cannot be initialised on this thread.
  ComApartment();
  ~ComApartment();

  ComApartment(const ComApartment&) = delete;
  ComApartment& operator=(const ComApartment&) = delete;
};

}  // namespace vintrel
