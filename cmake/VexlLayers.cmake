# The folders of the code, bottom up, written once: a file includes only
# from its own folder and from folders of lower layers. Folders on one line
# are one layer and include nothing of each other. tests/, bench/ and fuzz/
# sit above everything.
set(VEXL_LAYERS
  "platform"
  "core"
  "diag term"
  "vuvorazi"
  "audio output"
  "player"
  "platform/linux platform/windows"
  "web tools")
