// vlbaseline: validate a baseline folder and create a project from it,
// without a window.
int main() { return 0; }
