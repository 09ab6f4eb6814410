// standalone_launcher: the control window without a host program. The
// library's messages on standard output and standard error show here.
extern "C" int dll_main(int argc, char** argv);

int main(int argc, char** argv) {
  dll_main(argc, argv);
  return 0;
}
