# Writes the frames of a short sample demo to stdout: a moving colour
# plasma with a scrolling title, then a closing frame. Raw frame bytes (50
# rows of 80 cells, a CP437 character then a VGA attribute each), for
# `vexl pack`. Run with LC_ALL=C so bytes above 127 come out as they are.
#   awk -v frames=1500 -f sample_frames.awk > frames.bin
BEGIN {
    for (n = 32; n < 127; n++) ord[sprintf("%c", n)] = n
    if (frames == "") frames = 1500
    # Shades from light to full, and a ramp through the palette.
    split("176 177 178 219", shade, " ")
    split("1 9 3 11 2 10 6 14 4 12 5 13 1 9 3 11", ramp, " ")
    title = "  vexlade  -  sample demo made by build.sh  -  Ctrl+C ends it  -  "
    tlen = length(title)
    for (k = 0; k < frames; k++) {
        for (j = 0; j < 80; j++) col[j] = sin(j / 7.0 + k / 11.0) + sin(j / 17.0 - k / 23.0)
        for (i = 0; i < 50; i++) row[i] = sin(i / 5.0 - k / 13.0) + sin(i / 11.0 + k / 29.0)
        for (i = 0; i < 50; i++) {
            line = ""
            for (j = 0; j < 80; j++) {
                v = (col[j] + row[i] + 4) * 2            # 0 .. 16
                c = int(v) % 16 + 1
                s = int((v - int(v)) * 4) + 1
                fg = ramp[c]; bg = ramp[(c % 16) + 1]
                if (bg >= 8) bg -= 8                      # dark backgrounds
                ch = shade[s]; attr = bg * 16 + fg
                if (i == 24 && j >= 10 && j < 70) {
                    ch = ord[substr(title, (j + int(k / 3)) % tlen + 1, 1)]
                    attr = 31                             # white on blue
                }
                line = line sprintf("%c%c", ch, attr)
            }
            printf "%s", line
        }
    }
    # The closing frame stays up until the soundtrack's end or Ctrl+C.
    end = "The end of the sample demo. Press Ctrl+C to leave."
    for (i = 0; i < 50; i++) {
        line = ""
        for (j = 0; j < 80; j++) {
            ch = 32; attr = 7
            if (i == 24 && j >= 15 && j < 15 + length(end)) {
                ch = ord[substr(end, j - 14, 1)]; attr = 14
            }
            line = line sprintf("%c%c", ch, attr)
        }
        printf "%s", line
    }
}
