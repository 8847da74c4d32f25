// Controls: the buttons and the bar under the picture, the keys, full
// screen and the picture's size. Keys: space pause and resume, left and
// right 5 s back and on, Home from the start, f full screen, m mute; a
// focused button or the bar keeps its own Space and Enter.

const seekStep = 5;

export function formatTime(seconds) {
  const whole = Math.floor(seconds);
  return `${Math.floor(whole / 60)}:${String(whole % 60).padStart(2, '0')}`;
}

export class Controls {
  // `ui`: the element's parts; `actions`: {toggle, seek(seconds), position(),
  // mute(muted), started()}.
  constructor(host, ui, actions) {
    Object.assign(this, {host, ui, actions});
    this.dragging = false;
    this.muted = false;
    this.idleTimer = 0;
    this.length = 0;
    for (const [button, action] of [[ui.toggle, actions.toggle], [ui.mute, () => this.toggleMute()],
                                    [ui.full, () => this.toggleFullscreen()]])
      button.addEventListener('click', action);
    ui.seek.addEventListener('pointerdown', () => { this.dragging = true; });
    ui.seek.addEventListener('pointerup', () => { this.dragging = false; });
    ui.seek.addEventListener('input', () => actions.seek(Number(ui.seek.value)));
    ui.aspect.addEventListener('change', () => this.fit());
    host.addEventListener('keydown', (event) => this.key(event));
    // A frame later: the picture's new size must not feed back into this round.
    new ResizeObserver(() => requestAnimationFrame(() => this.fit())).observe(host);
    window.addEventListener('resize', () => this.fit());
    document.addEventListener('fullscreenchange', () => { this.fit(); this.wake(); });
    ui.stage.addEventListener('mousemove', () => this.wake());
  }

  setLength(seconds) {
    this.length = seconds;
    this.ui.seek.max = seconds;
  }

  // The bar, the time and the toggle's word, for position `seconds`.
  show(seconds, playing) {
    const ui = this.ui;
    if (!this.dragging)
      ui.seek.value = seconds;
    const time = `${formatTime(seconds)} / ${formatTime(this.length)}`;
    if (ui.time.textContent !== time) {
      ui.time.textContent = time;
      ui.seek.setAttribute('aria-valuetext', time.replace(' / ', ' of '));
    }
    const word = playing ? 'Pause' : 'Play';
    if (ui.toggle.textContent !== word) {
      ui.toggle.textContent = word;
      ui.toggle.title = `${word} (space)`;
    }
  }

  toggleMute() {
    this.muted = !this.muted;
    this.ui.mute.textContent = this.muted ? 'Unmute' : 'Mute';
    this.ui.mute.setAttribute('aria-pressed', String(this.muted));
    this.actions.mute(this.muted);
  }

  enterFullscreen() {
    if (!this.ui.stage.requestFullscreen)
      return;
    this.ui.stage.requestFullscreen().catch((error) => {
      this.actions.notice(`Full screen was refused (${error.message}); press f to try again.`);
    });
  }

  toggleFullscreen() {
    if (this.isFullscreen())
      document.exitFullscreen();
    else
      this.enterFullscreen();
  }

  isFullscreen() {
    return this.host.shadowRoot.fullscreenElement === this.ui.stage;
  }

  // `event` from anywhere in the element (or, for the page's own player,
  // from the page when nothing has focus).
  key(event) {
    if (!this.actions.started() || event.ctrlKey || event.altKey || event.metaKey)
      return;
    const target = event.composedPath()[0];
    const control = target instanceof HTMLButtonElement || target instanceof HTMLInputElement;
    switch (event.key) {
    case ' ':
      if (control)
        return;  // the focused control's own
      this.actions.toggle();
      break;
    case 'ArrowLeft': this.actions.seek(this.actions.position() - seekStep); break;
    case 'ArrowRight': this.actions.seek(this.actions.position() + seekStep); break;
    case 'Home': this.actions.home(); break;
    case 'f': case 'F': this.toggleFullscreen(); break;
    case 'm': case 'M': this.toggleMute(); break;
    default: return;
    }
    event.preventDefault();
  }

  wake() {
    this.ui.stage.classList.remove('idle');
    clearTimeout(this.idleTimer);
    this.idleTimer = setTimeout(() => this.ui.stage.classList.add('idle'), 2000);
  }

  // The picture at the largest whole number of device pixels per pixel
  // that fits the element's width and the window's height (4:3 stretches
  // it to 640 x 480 first); smaller than 1:1 only where even that does
  // not fit.
  fit() {
    const ui = this.ui;
    const full = this.isFullscreen();
    const ratio = window.devicePixelRatio || 1;
    const aspect = ui.aspect.checked ? 1.2 : 1;
    let width = full ? window.innerWidth : this.host.clientWidth - 16;
    let height = window.innerHeight;
    if (!full)
      height -= 24 + (ui.controls.hidden ? 0 : ui.controls.offsetHeight) +
                (ui.message.hidden ? 0 : ui.message.offsetHeight + 8);
    width = Math.max(width, 64);
    height = Math.max(height, 40);
    const scale = Math.floor(Math.min(width * ratio / 640, height * ratio / (400 * aspect)));
    const size = scale >= 1 ? scale / ratio : Math.max(0.1, Math.min(width / 640, height / (400 * aspect)));
    for (const picture of [ui.canvas, ui.poster]) {
      picture.style.width = `${640 * size}px`;
      picture.style.height = `${400 * aspect * size}px`;
    }
  }
}
