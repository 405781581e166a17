#pragma once

// The wait cursor shown over the whole application while a long operation
// runs on the user-interface thread. BeginWaitCursor and EndWaitCursor pair
// up and nest; CWaitCursor does the pairing for a scope. Owns nothing but
// its place on the application's cursor stack.
void BeginWaitCursor();
void EndWaitCursor();

class CWaitCursor {
 public:
  CWaitCursor() { BeginWaitCursor(); }
  ~CWaitCursor() { EndWaitCursor(); }
  CWaitCursor(const CWaitCursor&) = delete;
  CWaitCursor& operator=(const CWaitCursor&) = delete;
};
