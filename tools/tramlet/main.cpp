// Slide-rail driver.
int main() { return 0; }
