#include "driver/run.h"

int main() {
  return vantor::driver::run();
}
