// Which stretch of the signal the canvas shows: a first sample and a number
// of samples per pixel, from 1/40 (samples 40 pixels apart) to the whole file.
export const MOST_PIXELS_PER_SAMPLE = 40;

export class Viewport {
  constructor(length, width) {
    this.length = length;
    this.width = Math.max(1, width);
    this.start = 0;
    this.samplesPerPixel = this.fullSpp();
  }
  fullSpp() { return Math.max(1 / MOST_PIXELS_PER_SAMPLE, this.length / this.width); }
  resize(width) {
    const middle = this.start + this.span() / 2;
    this.width = Math.max(1, width);
    this.samplesPerPixel = Math.min(this.samplesPerPixel, this.fullSpp());
    this.centre(middle);
  }
  span() { return this.samplesPerPixel * this.width; }
  end() { return Math.min(this.length, this.start + this.span()); }
  // The library's display scale: pixels per sample.
  scale() { return 1 / this.samplesPerPixel; }
  x(sample) { return (sample - this.start) / this.samplesPerPixel; }
  sample(x) { return this.start + x * this.samplesPerPixel; }
  clamp() {
    const most = Math.max(0, this.length - this.span());
    this.start = Math.min(Math.max(0, this.start), most);
  }
  centre(sample) { this.start = sample - this.span() / 2; this.clamp(); }
  zoom(factor, atX = this.width / 2) {
    const anchor = this.sample(atX);
    const spp = Math.min(this.fullSpp(), Math.max(1 / MOST_PIXELS_PER_SAMPLE, this.samplesPerPixel * factor));
    this.samplesPerPixel = spp;
    this.start = anchor - atX * spp;
    this.clamp();
  }
  show(from, to) {
    const span = Math.max(to - from, this.width / MOST_PIXELS_PER_SAMPLE);
    this.samplesPerPixel = Math.min(this.fullSpp(), span / this.width);
    this.start = from - (this.span() - (to - from)) / 2;
    this.clamp();
  }
  scroll(pixels) { this.start += pixels * this.samplesPerPixel; this.clamp(); }
}
