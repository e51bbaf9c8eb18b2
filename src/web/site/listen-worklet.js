// The page's ear: an AudioWorklet that hands what it hears (a microphone, a shared tab) to the page
// in blocks of 512 frames, interleaved stereo (mono heard on both sides), at the context's 44.1 kHz.
'use strict';
const BlockFrames = 512;

class ShowListen extends AudioWorkletProcessor {
  constructor() {
    super();
    this.block = new Float32Array(2 * BlockFrames);
    this.filled = 0;
  }
  process(inputs) {
    const input = inputs[0];
    if (!input || input.length === 0) return true;
    const left = input[0], right = input.length > 1 ? input[1] : input[0];
    for (let i = 0; i < left.length; i++) {
      this.block[2 * this.filled] = left[i];
      this.block[2 * this.filled + 1] = right[i];
      if (++this.filled === BlockFrames) {
        this.port.postMessage(this.block);
        this.block = new Float32Array(2 * BlockFrames);
        this.filled = 0;
      }
    }
    return true;
  }
}
registerProcessor('show-listen', ShowListen);
