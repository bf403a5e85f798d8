#include <cstdio>

int main() {
  std::printf("Prezentation extraction\n");
  return 2;
}
